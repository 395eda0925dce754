#include "platform/linux/XdgAutostart.h"

#include "core/FileReplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Characters that make an argument of an Exec line need quotes.
bool needsQuotes(const QString& program) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    for (const QChar c : program) {
        if (reserved.contains(c))
            return true;
    }
    return false;
}

// The escapes of a desktop-entry string value.
QString escapeString(const QString& text) {
    QString out;
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString unescapeString(const QString& text) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\\') || i + 1 == text.size()) {
            out += c;
            continue;
        }
        const QChar next = text.at(++i);
        switch (next.unicode()) {
        case 's':
            out += QLatin1Char(' ');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case '\\':
            out += QLatin1Char('\\');
            break;
        default:
            out += c;
            out += next;
        }
    }
    return out;
}

bool isFalse(const QString& value) {
    return value.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0;
}

bool isTrue(const QString& value) {
    return value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

} // namespace

QString TXdgAutostart::filePath(const QString& title) {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/autostart/") + title + QStringLiteral(".desktop");
}

QString TXdgAutostart::execValue(const QString& program) {
    QString arg = program;
    arg.replace(QLatin1Char('%'), QStringLiteral("%%"));
    if (needsQuotes(program)) {
        QString quoted = QStringLiteral("\"");
        for (const QChar c : std::as_const(arg)) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                quoted += QLatin1Char('\\');
            quoted += c;
        }
        arg = quoted + QLatin1Char('"');
    }
    return escapeString(arg);
}

QString TXdgAutostart::commandOfExec(const QString& value) {
    const QString exec = unescapeString(value);
    QString out;
    qsizetype i = 0;
    if (exec.startsWith(QLatin1Char('"'))) {
        // The program as one quoted argument; the rest of the line follows it as written.
        for (i = 1; i < exec.size() && exec.at(i) != QLatin1Char('"'); ++i) {
            if (exec.at(i) == QLatin1Char('\\') && i + 1 < exec.size())
                ++i;
            out += exec.at(i);
        }
        if (i < exec.size())
            ++i; // the closing quote
    }
    out += exec.mid(i);
    return out.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

QString TXdgAutostart::read(const QString& title) const {
    QFile file(filePath(title));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    bool inEntry = false;
    QString exec;
    bool hidden = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inEntry || eq < 0 || line.startsWith(QLatin1Char('#')))
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == QLatin1String("Exec"))
            exec = commandOfExec(value);
        else if (key == QLatin1String("Hidden"))
            hidden = hidden || isTrue(value);
        else if (key == QLatin1String("X-GNOME-Autostart-enabled"))
            hidden = hidden || isFalse(value);
    }
    return hidden ? QString() : exec;
}

bool TXdgAutostart::write(const QString& title, const QString& command) {
    const QString path = filePath(title);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QByteArray text = "[Desktop Entry]\nType=Application\nName=Palavero Lite\n";
    text += "Exec=" + execValue(command).toUtf8() + "\n";
    if (command.isEmpty())
        text += "Hidden=true\n";
    text += "X-GNOME-Autostart-enabled=" + QByteArray(command.isEmpty() ? "false" : "true") + "\n";
    return FileReplace::write(path, text);
}
