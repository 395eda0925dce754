#pragma once

#include <QString>

namespace AppTitle {

// The application title: the executable's file name without its folder, cut
// before its first '.', every character after the first in lower case
// ("NetMsg.exe" gives "Netmsg"). Used as the autostart entry's name, the tray
// tooltip and the caption of plain message boxes.
QString fromExecutable(const QString& executablePath);
QString current();

} // namespace AppTitle
