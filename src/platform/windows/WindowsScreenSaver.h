#pragma once

#include "platform/ScreenSaver.h"

class TWindowsMessages;

// Starts the screen saver configured in Windows: the system command
// SC_SCREENSAVE sent to the hidden window, whose default handling starts it.
class TWindowsScreenSaver : public IScreenSaver {
public:
    explicit TWindowsScreenSaver(TWindowsMessages& messages) : FMessages(messages) {}
    void activate() override;

private:
    TWindowsMessages& FMessages;
};
