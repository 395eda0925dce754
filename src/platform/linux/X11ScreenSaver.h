#pragma once

#include "platform/ScreenSaver.h"

#include <QElapsedTimer>
#include <QObject>

struct xcb_connection_t;

// The X server's own screen saver, forced on (ForceScreenSaver Activate)
// through Qt's X11 connection. Every key event ends the X screen saver, so
// while keys are held (the hot key that asked for it) it waits for them to be
// released, at most kMaxWaitMs. Without X11 it does nothing.
class TX11ScreenSaver : public QObject, public IScreenSaver {
    Q_OBJECT
public:
    explicit TX11ScreenSaver(QObject* parent = nullptr);
    bool isAvailable() const { return FConnection != nullptr; }
    void activate() override;

    static constexpr int kPollMs = 40;
    static constexpr int kMaxWaitMs = 5000;

private:
    void activateOnceReleased();
    bool keysDown() const;

    xcb_connection_t* FConnection = nullptr;
    bool FWaiting = false;
    QElapsedTimer FWaited;
};
