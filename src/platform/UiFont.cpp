#include "platform/UiFont.h"

#include <QStringList>

namespace UiFont {

QFont font() {
    // The first installed family is taken when the font is first used: the
    // font database is not read before that.
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                      QStringLiteral("DejaVu Sans"), QStringLiteral("Noto Sans")});
    return font;
}

} // namespace UiFont
