#pragma once

struct xcb_connection_t;

// Qt's own connection to the X server; null when the program does not run on
// X11 (Wayland, offscreen, no GUI application).
xcb_connection_t* qtX11Connection();
