#include "platform/linux/DBusScreenSaver.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

TDBusScreenSaver::TDBusScreenSaver(const QDBusConnection& bus, TDBusScreenSaverService service, QObject* parent)
    : QObject(parent), FBus(bus), FService(std::move(service)) {}

QList<TDBusScreenSaverService> TDBusScreenSaver::desktopServices() {
    const auto own = [](const QString& name, const QString& path) { return TDBusScreenSaverService{name, path, name}; };
    const QString freedesktop = QStringLiteral("org.freedesktop.ScreenSaver");
    return {
        own(freedesktop, QStringLiteral("/org/freedesktop/ScreenSaver")),
        own(QStringLiteral("org.gnome.ScreenSaver"), QStringLiteral("/org/gnome/ScreenSaver")),
        own(QStringLiteral("org.mate.ScreenSaver"), QStringLiteral("/org/mate/ScreenSaver")),
        own(QStringLiteral("org.cinnamon.ScreenSaver"), QStringLiteral("/org/cinnamon/ScreenSaver")),
        own(QStringLiteral("org.xfce.ScreenSaver"), QStringLiteral("/org/xfce/ScreenSaver")),
        {QStringLiteral("org.kde.screensaver"), QStringLiteral("/ScreenSaver"), freedesktop},
    };
}

void TDBusScreenSaver::start(std::function<void(bool started)> done) {
    if (!FBus.isConnected()) {
        done(false);
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(FService.service, FService.path, FService.interface, QStringLiteral("SetActive"));
    call << true;
    call.setAutoStartService(false);
    auto* watcher = new QDBusPendingCallWatcher(FBus.asyncCall(call, kTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, done = std::move(done)](QDBusPendingCallWatcher* w) {
                w->deleteLater();
                const QDBusMessage reply = w->reply();
                if (reply.type() == QDBusMessage::ErrorMessage) {
                    qCDebug(lcScreenSaver).noquote() << FService.service << reply.errorName();
                    done(false);
                    return;
                }
                const QVariantList answer = reply.arguments();
                const bool refused = !answer.isEmpty() && answer.first().typeId() == QMetaType::Bool &&
                                     !answer.first().toBool();
                qCDebug(lcScreenSaver).noquote() << FService.service << (refused ? "refused" : "started");
                done(!refused);
            });
}
