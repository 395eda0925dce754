// The yardstick of the visibility benchmark: a bare Qt program doing the job
// of showing a received message. It listens on the UDP port given as its
// argument; each datagram's text is appended to a read-only text pane in an
// always-on-top window, which is shown without taking the focus when hidden
// and raised when shown, and announced by the tray icon's balloon.
// "S&chließen" (Alt+C) hides the window.
#include <QApplication>
#include <QHostAddress>
#include <QIcon>
#include <QNetworkDatagram>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QUdpSocket>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QWidget window(nullptr, Qt::Window | Qt::WindowStaysOnTopHint);
    window.setWindowTitle(QStringLiteral("Bare Messenger"));
    window.resize(574, 411);
    auto* layout = new QVBoxLayout(&window);
    auto* pane = new QPlainTextEdit;
    pane->setReadOnly(true);
    auto* close = new QPushButton(QStringLiteral("S&chließen"));
    layout->addWidget(pane);
    layout->addWidget(close);
    QObject::connect(close, &QPushButton::clicked, &window, &QWidget::hide);

    QPixmap picture(16, 16);
    picture.fill(Qt::darkBlue);
    QSystemTrayIcon tray{QIcon(picture)};
    tray.show();

    QUdpSocket socket;
    if (argc < 2 || !socket.bind(QHostAddress::AnyIPv4, quint16(QString::fromLatin1(argv[1]).toUInt())))
        return 2;
    QObject::connect(&socket, &QUdpSocket::readyRead, [&] {
        while (socket.hasPendingDatagrams()) {
            const QByteArray text = socket.receiveDatagram().data();
            pane->appendPlainText(QString::fromLatin1(text));
            if (!window.isVisible()) {
                window.setAttribute(Qt::WA_ShowWithoutActivating, true);
                window.show();
                window.setAttribute(Qt::WA_ShowWithoutActivating, false);
            }
            window.raise();
            tray.showMessage(QStringLiteral("Bare von PC-B"), QString::fromLatin1(text.left(40)));
        }
    });
    return app.exec();
}
