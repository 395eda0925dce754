#pragma once

#include <QString>

namespace AppTitle {

// The application title: the executable's file name without its folder, cut
// before its first '.', every character after the first in lower case
// ("NetMsg.exe" gives "Netmsg"). Used as the autostart entry's name.
QString fromExecutable(const QString& executablePath);
QString current();
// The title as the user reads it, in the tray tooltip and the caption of plain
// message boxes: the application title with a capital first letter (the
// executable "palavero" gives "Palavero").
QString shown(const QString& executablePath);
QString shownCurrent();

} // namespace AppTitle
