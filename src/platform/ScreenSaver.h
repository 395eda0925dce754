#pragma once

// Starts the screen saver that the desktop has configured. Returns at once;
// a desktop without a screen saver does nothing.
class IScreenSaver {
public:
    virtual ~IScreenSaver() = default;
    virtual void activate() = 0;
};
