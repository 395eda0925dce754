#pragma once

#include "platform/ScreenSaver.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

// What the ways of starting the screen saver did.
Q_DECLARE_LOGGING_CATEGORY(lcScreenSaver)

// One way of starting the screen saver. start() returns at once and tells
// `done`, at once or later, whether this way started it.
class IScreenSaverWay {
public:
    virtual ~IScreenSaverWay() = default;
    virtual void start(std::function<void(bool started)> done) = 0;
};

// The screen saver that runs, started by the first way that works: the ways
// are tried in order, each when the one before has failed. The first begins
// once no key is held any more (the hot key that asked for the screen saver
// would end it as it is released), after kMaxWaitMs at the latest. A request
// while one is under way is dropped.
class TScreenSaverChain : public QObject, public IScreenSaver {
    Q_OBJECT
public:
    TScreenSaverChain(std::vector<std::unique_ptr<IScreenSaverWay>> ways, std::function<bool()> keysHeld,
                      QObject* parent = nullptr);
    ~TScreenSaverChain() override;

    // The ways of a desktop session on `bus`: org.freedesktop.ScreenSaver, the
    // desktop's own screen-saver services, xscreensaver, xdg-screensaver, and
    // the X server's own screen saver.
    static std::unique_ptr<TScreenSaverChain> forSession(const QDBusConnection& bus);

    void activate() override;
    bool isBusy() const { return FBusy; }
    // The way that started the last request (its index), or -1 when none did.
    int startedBy() const { return FStartedBy; }

    static constexpr int kPollMs = 40;
    static constexpr int kMaxWaitMs = 5000;

private:
    void startOnceReleased();
    void tryWay(std::size_t index);

    std::vector<std::unique_ptr<IScreenSaverWay>> FWays;
    std::function<bool()> FKeysHeld;
    QElapsedTimer FWaited;
    bool FBusy = false;
    int FStartedBy = -1;
};
