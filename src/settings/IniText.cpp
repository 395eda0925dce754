#include "settings/IniText.h"

#include <QStringList>

namespace {

QByteArray trimmed(QByteArrayView line) {
    return line.trimmed().toByteArray();
}

// The name of a group line ("[Settings]" gives "Settings"; a line without its
// closing bracket names the group all the same), or nullopt for other lines.
std::optional<QString> groupName(const QByteArray& line) {
    const QByteArray t = trimmed(line);
    if (!t.startsWith('['))
        return std::nullopt;
    qsizetype close = t.indexOf(']');
    if (close < 0)
        close = t.size();
    return QString::fromUtf8(t.mid(1, close - 1)).trimmed();
}

bool isHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

} // namespace

TIniText TIniText::fromBytes(const QByteArray& bytes) {
    TIniText text;
    if (bytes.isEmpty())
        return text;
    text.FLines = bytes.split('\n');
    if (text.FLines.constLast().isEmpty())
        text.FLines.removeLast();
    for (QByteArray& line : text.FLines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return text;
}

std::optional<TIniText::TGroupRange> TIniText::findGroup(const QString& group) const {
    for (qsizetype i = 0; i < FLines.size(); ++i) {
        if (groupName(FLines.at(i)) != group)
            continue;
        TGroupRange range{i, i + 1};
        while (range.end < FLines.size() && !groupName(FLines.at(range.end)))
            ++range.end;
        return range;
    }
    return std::nullopt;
}

qsizetype TIniText::findKey(const TGroupRange& range, const QString& key) const {
    const QByteArray name = key.toUtf8();
    for (qsizetype i = range.header + 1; i < range.end; ++i) {
        const QByteArray& line = FLines.at(i);
        const qsizetype eq = line.indexOf('=');
        if (eq > 0 && !trimmed(line).startsWith(';') && trimmed(QByteArrayView(line).first(eq)) == name)
            return i;
    }
    return -1;
}

std::optional<QString> TIniText::value(const QString& group, const QString& key) const {
    const auto range = findGroup(group);
    if (!range)
        return std::nullopt;
    const qsizetype i = findKey(*range, key);
    if (i < 0)
        return std::nullopt;
    const QByteArray& line = FLines.at(i);
    return unescaped(QByteArrayView(line).sliced(line.indexOf('=') + 1));
}

void TIniText::setValue(const QString& group, const QString& key, const QString& value) {
    const QByteArray line = key.toUtf8() + '=' + escaped(value);
    auto range = findGroup(group);
    if (!range) {
        if (!FLines.isEmpty() && !trimmed(FLines.constLast()).isEmpty())
            FLines.append(QByteArray());
        FLines.append('[' + group.toUtf8() + ']');
        FLines.append(line);
        return;
    }
    const qsizetype i = findKey(*range, key);
    if (i >= 0) {
        FLines[i] = line;
        return;
    }
    // After the group's last line that is not blank.
    qsizetype at = range->end;
    while (at > range->header + 1 && trimmed(FLines.at(at - 1)).isEmpty())
        --at;
    FLines.insert(at, line);
}

QByteArray TIniText::toBytes() const {
    QByteArray bytes;
    for (const QByteArray& line : FLines) {
        // A kept line that ends in CR keeps it: reading takes one CR before
        // the LF as the line end.
        bytes += line;
        bytes += line.endsWith('\r') ? "\r\n" : "\n";
    }
    return bytes;
}

QByteArray TIniText::escaped(const QString& value) {
    QByteArray out;
    if (value.startsWith(QLatin1Char('@')))
        out += '@';
    bool quote = false;
    bool escapeNextIfHex = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar qc = value.at(i);
        const char16_t c = qc.unicode();
        if (c == ';' || c == ',' || c == '=')
            quote = true;
        if (escapeNextIfHex && c < 0x80 && isHex(char(c))) {
            out += "\\x" + QByteArray::number(c, 16);
            continue;
        }
        escapeNextIfHex = false;
        switch (c) {
        case '\0':
            out += "\\0";
            escapeNextIfHex = true;
            break;
        case '\a':
            out += "\\a";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\v':
            out += "\\v";
            break;
        case '"':
        case '\\':
            out += '\\';
            out += char(c);
            break;
        default:
            if (c <= 0x1F) {
                out += "\\x" + QByteArray::number(c, 16);
                escapeNextIfHex = true;
            } else if (qc.isHighSurrogate() && i + 1 < value.size() && value.at(i + 1).isLowSurrogate()) {
                // A character beyond the BMP is written whole, not as two halves.
                out += value.mid(i, 2).toUtf8();
                ++i;
            } else {
                out += QString(qc).toUtf8();
            }
        }
    }
    if (quote || out.startsWith(' ') || out.endsWith(' '))
        out = '"' + out + '"';
    return out;
}

QString TIniText::unescaped(QByteArrayView written) {
    QStringList items;
    QByteArray item;    // UTF-8 bytes of the current item
    qsizetype kept = 0; // bytes of `item` that trailing blanks must not eat
    bool inQuotes = false;
    bool started = false; // a character other than a leading blank was seen
    auto finish = [&] {
        // Blanks after the last character that was quoted or escaped are dropped.
        while (item.size() > kept && (item.endsWith(' ') || item.endsWith('\t')))
            item.chop(1);
        items << QString::fromUtf8(item);
        item.clear();
        kept = 0;
        started = false;
    };
    const QByteArrayView v = written.trimmed();
    for (qsizetype i = 0; i < v.size(); ++i) {
        const char c = v.at(i);
        if (!inQuotes && !started && (c == ' ' || c == '\t'))
            continue;
        started = true;
        if (c == '"') {
            inQuotes = !inQuotes;
            kept = item.size();
            continue;
        }
        if (c == ',' && !inQuotes) {
            finish();
            continue;
        }
        if (c == '\\' && i + 1 < v.size()) {
            const char e = v.at(++i);
            switch (e) {
            case 'a':
                item += '\a';
                break;
            case 'b':
                item += '\b';
                break;
            case 'f':
                item += '\f';
                break;
            case 'n':
                item += '\n';
                break;
            case 'r':
                item += '\r';
                break;
            case 't':
                item += '\t';
                break;
            case 'v':
                item += '\v';
                break;
            case 'x': {
                uint code = 0;
                while (i + 1 < v.size() && isHex(v.at(i + 1)))
                    code = code * 16 + uint(QByteArray(1, v.at(++i)).toUInt(nullptr, 16));
                item += QString(QChar(char16_t(code))).toUtf8();
                break;
            }
            case '0':
            case '1':
            case '2':
            case '3':
            case '4':
            case '5':
            case '6':
            case '7': {
                uint code = uint(e - '0');
                while (i + 1 < v.size() && v.at(i + 1) >= '0' && v.at(i + 1) <= '7')
                    code = code * 8 + uint(v.at(++i) - '0');
                item += QString(QChar(char16_t(code))).toUtf8();
                break;
            }
            default:
                item += e; // \\ \" \' \? and anything else stand for themselves
            }
            kept = item.size();
            continue;
        }
        item += c;
        if (inQuotes)
            kept = item.size();
    }
    finish();
    QString value = items.join(QStringLiteral(", "));
    if (value.startsWith(QLatin1String("@@")))
        value.remove(0, 1);
    return value;
}
