#pragma once

#include "platform/ScreenSaver.h"

struct xcb_connection_t;

// The X server's own screen saver, forced on (ForceScreenSaver Activate)
// through Qt's X11 connection. Without X11 it does nothing.
class TX11ScreenSaver : public IScreenSaver {
public:
    TX11ScreenSaver();
    bool isAvailable() const { return FConnection != nullptr; }
    void activate() override;

private:
    xcb_connection_t* FConnection = nullptr;
};
