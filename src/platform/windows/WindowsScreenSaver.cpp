#include "platform/windows/WindowsScreenSaver.h"

#include "platform/windows/WindowsMessages.h"

void TWindowsScreenSaver::activate() {
    ::SendMessageW(FMessages.window(), WM_SYSCOMMAND, SC_SCREENSAVE, 0);
}
