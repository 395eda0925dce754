#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>

// Which of Qt's display platforms the program runs on. The program needs a
// window that stays on top, shows without taking the focus, and a global hot
// key: X11 gives all three, Wayland none to an application. So where an X
// display exists (also Xwayland beside a Wayland session) it runs on xcb,
// unless the user has chosen a platform with QT_QPA_PLATFORM.
namespace DisplayPlatform {

// "xcb" where the program should choose it; empty to leave Qt's own choice.
QByteArray preferred(const QProcessEnvironment& environment);

// Whether Qt's platform `name` is one of Wayland.
bool isWayland(const QString& name);

// Said once in the status bar when running on Wayland (the log says more).
QString waylandStatusText();

} // namespace DisplayPlatform
