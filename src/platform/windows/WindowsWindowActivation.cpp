#include "platform/WindowActivation.h"

namespace WindowActivation {

// Windows needs no step of its own: Qt shows a window whose
// "show without activating" is set with SW_SHOWNOACTIVATE, and that command
// also restores a minimized (hidden) window to its last size and position
// without activating it. Windows itself does not let a program in the
// background take the focus.
void suppressNextActivation(QWindow&) {}

} // namespace WindowActivation
