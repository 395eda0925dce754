// The yardstick of the idle and start-up benchmark: a bare Qt tray program
// with a PNG icon and a hidden window, nothing else. When its event loop
// starts it prints "loop <CLOCK_MONOTONIC in ns>".
#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <ctime>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare"));
    QPixmap picture(16, 16);
    picture.fill(Qt::darkBlue);
    QSystemTrayIcon tray{QIcon(picture)};
    tray.setToolTip(QStringLiteral("Bare"));
    tray.show();
    QTimer::singleShot(0, [] {
        timespec now{};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        std::printf("loop %lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
        std::fflush(stdout);
    });
    return app.exec();
}
