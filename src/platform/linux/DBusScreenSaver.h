#pragma once

#include "platform/linux/ScreenSaverChain.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <QList>

// A screen-saver service on the session bus that is started with SetActive(true).
struct TDBusScreenSaverService {
    QString service;
    QString path;
    QString interface;
};

// The screen saver started through a service on the session bus. The call does
// not block and starts no service that is not running; it worked when the
// service answers without an error and does not refuse (a false answer).
class TDBusScreenSaver : public QObject, public IScreenSaverWay {
    Q_OBJECT
public:
    TDBusScreenSaver(const QDBusConnection& bus, TDBusScreenSaverService service, QObject* parent = nullptr);

    void start(std::function<void(bool started)> done) override;

    // org.freedesktop.ScreenSaver, then the screen savers of GNOME, MATE,
    // Cinnamon, Xfce and KDE under their own names.
    static QList<TDBusScreenSaverService> desktopServices();

    // How long the service may take to answer before the next way is tried.
    static constexpr int kTimeoutMs = 3000;

private:
    QDBusConnection FBus;
    TDBusScreenSaverService FService;
};
