#pragma once

class QWindow;

namespace WindowActivation {

// Makes the window system give `window` no focus when it is next mapped: shown,
// or restored from minimized. Qt hands its "show without activating" to the
// window system only when a window is first created and at a show, while the
// restore of a minimized window maps it at once; on X11 the window manager then
// decides by the window's user time (_NET_WM_USER_TIME), which this sets to 0.
// Does nothing where the system needs no such step.
void suppressNextActivation(QWindow& window);

} // namespace WindowActivation
