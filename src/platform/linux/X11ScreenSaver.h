#pragma once

#include "platform/linux/ScreenSaverChain.h"

#include <QObject>

struct xcb_connection_t;

// The X server's own screen saver, forced on (ForceScreenSaver Activate)
// through Qt's X11 connection; the last way of the chain, which also asks it
// whether keys are held. Without X11 it does nothing and fails.
class TX11ScreenSaver : public QObject, public IScreenSaverWay {
    Q_OBJECT
public:
    explicit TX11ScreenSaver(QObject* parent = nullptr);
    bool isAvailable() const { return FConnection != nullptr; }
    void start(std::function<void(bool started)> done) override;
    // A key of the keyboard is down (false without X11).
    bool keysDown() const;

private:
    xcb_connection_t* FConnection = nullptr;
};
