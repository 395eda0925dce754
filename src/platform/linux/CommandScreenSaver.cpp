#include "platform/linux/CommandScreenSaver.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <memory>
#include <utility>

TCommandScreenSaver::TCommandScreenSaver(QString program, QStringList arguments, QObject* parent)
    : QObject(parent), FProgram(std::move(program)), FArguments(std::move(arguments)) {}

void TCommandScreenSaver::start(std::function<void(bool started)> done) {
    const QString path = QStandardPaths::findExecutable(FProgram);
    if (path.isEmpty()) {
        qCDebug(lcScreenSaver).noquote() << FProgram << "is not installed";
        done(false);
        return;
    }
    auto* process = new QProcess(this);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setStandardOutputFile(QProcess::nullDevice());
    // Told once: an ending, a failed start or the time-out, whichever comes first.
    auto finish = [this, process, done = std::move(done)](bool started) mutable {
        if (!done)
            return;
        qCDebug(lcScreenSaver).noquote() << FProgram << (started ? "started the screen saver" : "failed");
        std::exchange(done, nullptr)(started);
        process->disconnect(this);
        process->deleteLater();
    };
    auto shared = std::make_shared<decltype(finish)>(std::move(finish));
    connect(process, &QProcess::finished, this, [shared](int code, QProcess::ExitStatus status) {
        (*shared)(status == QProcess::NormalExit && code == 0);
    });
    connect(process, &QProcess::errorOccurred, this, [shared](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            (*shared)(false);
    });
    QTimer::singleShot(kTimeoutMs, process, [process, shared] {
        process->kill();
        (*shared)(false);
    });
    process->start(path, FArguments);
}
