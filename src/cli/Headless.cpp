#include "cli/Headless.h"

#include "app/CommandLine.h"
#include "cli/ConsoleMessageBoxes.h"
#include "cli/Listener.h"
#include "cli/ScriptText.h"
#include "cli/SendCommand.h"
#include "core/Ansi.h"
#include "info/VersionInfo.h"
#include "platform/Platform.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstdio>
#include <optional>

namespace {

Q_LOGGING_CATEGORY(lcListen, "palavero.listen", QtInfoMsg)

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// Standard input up to its end, or nullopt as soon as it holds more than a
// message can: an endless input is not read to its end.
std::optional<QByteArray> readStandardInput() {
    QByteArray bytes(ScriptText::kMaxInputBytes + 1, Qt::Uninitialized);
    const size_t got = std::fread(bytes.data(), 1, size_t(bytes.size()), stdin);
    if (got > size_t(ScriptText::kMaxInputBytes))
        return std::nullopt;
    bytes.truncate(qsizetype(got));
    return bytes;
}

int listen(QCoreApplication& app, TPlatform& platform, IMessageBoxes& boxes, quint16 port) {
    if (platform.singleInstance->otherInstanceRuns()) {
        boxes.show(QStringLiteral("Palavero läuft bereits für diesen Benutzer; --listen startet nicht daneben."));
        return 1;
    }
    TListener listener(Ansi::fromUnicode(platform.systemInfo->computerName()), *platform.networkInfo, boxes);
    listener.setNetworkChanges(platform.networkChanges.get());
    // Connected before the start, whose sends already handle datagrams (and so
    // may see a signal); queued, so that the end comes from the event loop.
    QObject::connect(
        platform.terminationSignals.get(), &TTerminationSignals::terminationRequested, &listener,
        [&listener] {
            qCDebug(lcListen) << "ending";
            listener.stop();
            QCoreApplication::exit(0);
        },
        Qt::QueuedConnection);
    if (!listener.start(port))
        return 1;
    return app.exec();
}

} // namespace

namespace Headless {

bool handles(const TCommandLine& commandLine) {
    if (commandLine.mode != TCommandLine::TMode::Window)
        return true;
    // A toolkit option is taken away by the window's application object.
    return !commandLine.error.isEmpty() && !TCommandLine::isToolkitOption(commandLine.badOption);
}

int run(int argc, char** argv, const TCommandLine& commandLine) {
    QCoreApplication app(argc, argv);
    if (!commandLine.error.isEmpty()) {
        print(stderr, QStringLiteral("palavero: ") + commandLine.error + QLatin1Char('\n'));
        return TCommandLine::kUsageExitCode;
    }
    switch (commandLine.mode) {
    case TCommandLine::TMode::Help:
        print(stdout, TCommandLine::helpText());
        return 0;
    case TCommandLine::TMode::Version:
        print(stdout, TCommandLine::versionText(GetVersionString(QString(), 2)));
        return 0;
    case TCommandLine::TMode::Window:
        break;
    case TCommandLine::TMode::Send: {
        const std::unique_ptr<TPlatform> platform = CreatePlatform(TPlatformUse::Console);
        // It waits without an event loop (for input, the instance, names):
        // Ctrl+C and SIGTERM end it where it is, with nothing (more) sent.
        platform->terminationSignals->endProcessOnRequest(1);
        TConsoleMessageBoxes boxes;
        TSendCommand command(*platform->systemInfo, *platform->networkInfo, *platform->singleInstance, boxes);
        return command.run(commandLine, readStandardInput);
    }
    case TCommandLine::TMode::Listen: {
        const std::unique_ptr<TPlatform> platform = CreatePlatform(TPlatformUse::Console);
        TConsoleMessageBoxes boxes;
        return listen(app, *platform, boxes, commandLine.udpPort());
    }
    }
    return TCommandLine::kUsageExitCode;
}

} // namespace Headless
