// fakelogind: a stand-in for systemd-logind on a private system bus, for tests.
//
// Owns org.freedesktop.login1 on the bus of $DBUS_SYSTEM_BUS_ADDRESS (or
// --address), serves the manager at /org/freedesktop/login1 and the session
// "31" at /org/freedesktop/login1/session/_31, and prints "ready" once the name
// is owned. Commands, one a line on standard input or through the method
//   org.palavero.test.FakeLogind.Emit(string) at /org/palavero/test/FakeLogind:
//   lock, unlock, active 0, active 1, lockedhint 1, lockedhint 0, sleep 1, sleep 0,
//   shutdown
// Standard input also takes "quit"; each line is answered on standard output with
// "done <command>" or "unknown <command>". It ends when its bus goes away.
#include "FakeLogind.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("fakelogind"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A stand-in for systemd-logind on a private bus."));
    parser.addHelpOption();
    const QCommandLineOption addressOption(QStringLiteral("address"),
                                           QStringLiteral("Bus address (default: $DBUS_SYSTEM_BUS_ADDRESS)."),
                                           QStringLiteral("address"));
    const QCommandLineOption noPidOption(
        QStringLiteral("no-session-by-pid"),
        QStringLiteral("GetSessionByPID fails; only GetSession(\"31\") works."));
    parser.addOption(addressOption);
    parser.addOption(noPidOption);
    parser.process(app);

    QString address = parser.value(addressOption);
    if (address.isEmpty())
        address = qEnvironmentVariable("DBUS_SYSTEM_BUS_ADDRESS");
    if (address.isEmpty()) {
        std::fprintf(stderr, "fakelogind: no bus address (--address or DBUS_SYSTEM_BUS_ADDRESS)\n");
        return 2;
    }
    const QDBusConnection bus = QDBusConnection::connectToBus(address, QStringLiteral("fakelogind"));
    TFakeLogind logind(bus, !parser.isSet(noPidOption));
    QString error;
    if (!logind.publish(&error)) {
        std::fprintf(stderr, "fakelogind: %s\n", qPrintable(error));
        return 1;
    }

    QTextStream out(stdout);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char chunk[512];
        const ssize_t n = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (n <= 0) {
            input.setEnabled(false); // end of input: keep serving the bus
            return;
        }
        pending.append(chunk, n);
        qsizetype newline;
        while ((newline = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pending.left(newline)).trimmed();
            pending.remove(0, newline + 1);
            if (line.isEmpty())
                continue;
            if (line == QLatin1String("quit")) {
                QCoreApplication::quit();
                return;
            }
            if (logind.run(line))
                out << "done " << line << Qt::endl;
            else
                out << "unknown " << line << Qt::endl;
        }
    });

    // Ends with its bus, so that a test that stops the bus leaves nothing behind.
    QTimer busCheck;
    QObject::connect(&busCheck, &QTimer::timeout, &app, [&bus] {
        if (!bus.isConnected())
            QCoreApplication::exit(3);
    });
    busCheck.start(250);

    out << "ready" << Qt::endl;
    return app.exec();
}
