#pragma once

#include <QString>

namespace UiFont {
// The program's window font family: Tahoma where installed, otherwise a sans
// font of similar width.
QString family();
} // namespace UiFont
