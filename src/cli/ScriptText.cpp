#include "cli/ScriptText.h"

#include "core/Ansi.h"

namespace ScriptText {

QByteArray fromArgument(const QString& text) {
    QString t = text;
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    t.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return Ansi::fromUnicode(t);
}

QByteArray fromInput(const QByteArray& utf8) {
    QString t = QString::fromUtf8(utf8);
    if (t.endsWith(QLatin1String("\r\n")))
        t.chop(2);
    else if (t.endsWith(QLatin1Char('\n')))
        t.chop(1);
    return fromArgument(t);
}

} // namespace ScriptText
