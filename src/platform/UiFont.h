#pragma once

#include <QFont>

namespace UiFont {
// The program's window font: Tahoma where installed, otherwise a sans font of
// similar width. The size is the caller's.
QFont font();
} // namespace UiFont
