#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

// The program's pictures and visual style, compiled into palavero_info
// (resource paths ":/palavero/..."): PNGs rendered at build time from the
// SVGs in packaging/, and the style sheet.
namespace Pictures {

// Registers the resources. Safe to call more than once; the accessors below call it.
void init();

// Application and tray icon, at the usual icon sizes.
QIcon appIcon();
// Pictures of the buttons "&Senden" and "An &alle".
QIcon sendIcon();
QIcon sendAllIcon();
// The maker's logo at size x size device-independent pixels.
QPixmap logo(int size, qreal devicePixelRatio = 1.0);
// The style sheet of the visual style "Korvel2014 Light".
QString styleSheet();

} // namespace Pictures
