#pragma once

#include "platform/ScreenSaver.h"

#include <QDBusConnection>
#include <QObject>

#include <memory>

// The desktop's screen saver through org.freedesktop.ScreenSaver on the session
// bus (SetActive(true)). The call does not block; when no such service answers,
// or it refuses, the fallback (the X server's screen saver) is started instead.
class TDBusScreenSaver : public QObject, public IScreenSaver {
    Q_OBJECT
public:
    TDBusScreenSaver(const QDBusConnection& bus, std::unique_ptr<IScreenSaver> fallback,
                     QObject* parent = nullptr);
    ~TDBusScreenSaver() override;

    void activate() override;

    // How long the service may take to answer before the fallback is used.
    static constexpr int kTimeoutMs = 3000;

private:
    void useFallback();

    QDBusConnection FBus;
    std::unique_ptr<IScreenSaver> FFallback;
};
