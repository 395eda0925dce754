#include "app/CommandLine.h"

namespace {

// An integer in decimal with optional leading blanks and sign; `fallback` otherwise.
int toIntDefault(const QString& text, int fallback) {
    QString t = text;
    while (!t.isEmpty() && t.front() == QLatin1Char(' '))
        t.remove(0, 1);
    bool ok = false;
    const int value = t.toInt(&ok, 10);
    return ok ? value : fallback;
}

} // namespace

TCommandLine TCommandLine::parse(const QStringList& arguments) {
    TCommandLine result;
    for (const QString& argument : arguments) {
        const QString lower = argument.toLower();
        if (lower.startsWith(QLatin1String("-p")))
            result.port = toIntDefault(lower.mid(2, 5), kDefaultPort);
        else if (lower.startsWith(QLatin1String("-f")))
            result.fontSize = toIntDefault(lower.mid(2, 3), kDefaultFontSize);
    }
    return result;
}
