#include "platform/linux/DBusScreenSaver.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QLoggingCategory>

namespace {
Q_LOGGING_CATEGORY(lcScreenSaver, "palavero.platform.screensaver", QtInfoMsg)

const QString kService = QStringLiteral("org.freedesktop.ScreenSaver");
const QString kPath = QStringLiteral("/org/freedesktop/ScreenSaver");
} // namespace

TDBusScreenSaver::TDBusScreenSaver(const QDBusConnection& bus, std::unique_ptr<IScreenSaver> fallback,
                                   QObject* parent)
    : QObject(parent), FBus(bus), FFallback(std::move(fallback)) {}

TDBusScreenSaver::~TDBusScreenSaver() = default;

void TDBusScreenSaver::activate() {
    if (!FBus.isConnected()) {
        useFallback();
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("SetActive"));
    call << true;
    auto* watcher = new QDBusPendingCallWatcher(FBus.asyncCall(call, kTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<bool> reply = *w;
        if (reply.isError()) {
            qCDebug(lcScreenSaver) << "session screen saver:" << reply.error().name();
            useFallback();
        } else if (!reply.value()) {
            qCDebug(lcScreenSaver) << "session screen saver refused";
            useFallback();
        } else {
            qCDebug(lcScreenSaver) << "session screen saver started";
        }
    });
}

void TDBusScreenSaver::useFallback() {
    qCDebug(lcScreenSaver) << "X screen saver forced on";
    if (FFallback)
        FFallback->activate();
}
