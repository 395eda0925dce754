#include "platform/UiFont.h"

#include <QFontDatabase>
#include <QStringList>

namespace UiFont {

QString family() {
    const QStringList installed = QFontDatabase::families();
    for (const char* candidate : {"Tahoma", "Liberation Sans", "Arimo", "DejaVu Sans", "Noto Sans"}) {
        if (installed.contains(QLatin1String(candidate)))
            return QLatin1String(candidate);
    }
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

} // namespace UiFont
