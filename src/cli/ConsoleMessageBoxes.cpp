#include "cli/ConsoleMessageBoxes.h"

void TConsoleMessageBoxes::show(const QString& text, Icon, const QString&) {
    QString line = text.trimmed();
    line.replace(QLatin1String("\r\n"), QLatin1String(" "));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(FStream, "palavero: %s\n", line.toLocal8Bit().constData());
    std::fflush(FStream);
}

bool TConsoleMessageBoxes::ask(const QString& caption, const QString& text, Icon icon) {
    show(text, icon, caption);
    return false;
}
