#include "groups/GroupFile.h"

#include "core/Ansi.h"
#include "core/ByteOrderMark.h"
#include "core/FileRead.h"
#include "core/FileReplace.h"
#include "core/TextUtil.h"

const QByteArray TGroupFile::kMembersKey = QByteArrayLiteral("Members");

namespace {

// The file's text as Windows-1252, and the encoding it was found in.
QByteArray decode(const QByteArray& bytes, TGroupFile::Encoding* encoding) {
    *encoding = ByteOrderMark::detect(bytes);
    if (*encoding == TGroupFile::Encoding::Ansi)
        return bytes;
    return Ansi::fromUnicode(ByteOrderMark::decode(bytes));
}

QByteArray encode(const QByteArray& ansi, TGroupFile::Encoding encoding) {
    if (encoding == TGroupFile::Encoding::Ansi)
        return ansi;
    return ByteOrderMark::encode(Ansi::toUnicode(ansi), encoding);
}

} // namespace

namespace {
// Without leading and trailing blanks and control characters, as TextUtil::trim.
QByteArrayView trimmed(QByteArrayView text) {
    while (!text.isEmpty() && static_cast<unsigned char>(text.front()) <= 32)
        text = text.sliced(1);
    while (!text.isEmpty() && static_cast<unsigned char>(text.back()) <= 32)
        text.chop(1);
    return text;
}

bool isAscii(const QByteArray& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}
} // namespace

bool TGroupFile::sameName(const QByteArray& a, const QByteArray& b) {
    if (a == b)
        return true;
    if (isAscii(a) && isAscii(b))
        return a.size() == b.size() && a.compare(b, Qt::CaseInsensitive) == 0;
    return Ansi::toUnicode(a).compare(Ansi::toUnicode(b), Qt::CaseInsensitive) == 0;
}

QString TGroupFile::foldedName(const QByteArray& name) {
    if (!isAscii(name))
        return Ansi::toUnicode(name).toCaseFolded();
    QString folded(name.size(), Qt::Uninitialized);
    QChar* out = folded.data();
    for (const char c : name)
        *out++ = QLatin1Char(c >= 'A' && c <= 'Z' ? char(c + 32) : c);
    return folded;
}

TGroupFile TGroupFile::fromBytes(const QByteArray& bytes) {
    TGroupFile file;
    QByteArray text = decode(bytes, &file.m_encoding);
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);

    // -1: before the first section; -2: inside a repeated section, whose lines are dropped.
    qsizetype current = -1;
    // Each name is folded once and looked up by hash.
    QHash<QString, qsizetype>& seen = file.m_index;
    const QByteArrayView all(text);
    qsizetype pos = 0;
    const qsizetype n = all.size();
    while (pos < n) {
        qsizetype end = pos;
        while (end < n && all[end] != '\r' && all[end] != '\n')
            ++end;
        const QByteArrayView line = trimmed(all.sliced(pos, end - pos));
        pos = end + 1;
        if (line.isEmpty() || line.front() == ';')
            continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            const QByteArray name = trimmed(line.sliced(1, line.size() - 2)).toByteArray();
            const QString folded = foldedName(name);
            if (seen.contains(folded)) {
                current = -2;
            } else {
                seen.insert(folded, file.m_sections.size());
                file.m_sections.append(TSection{name, {}});
                current = file.m_sections.size() - 1;
            }
            continue;
        }
        if (current < 0)
            continue;
        const qsizetype eq = line.indexOf('=');
        QByteArray key = (eq >= 0 ? trimmed(line.first(eq)) : line).toByteArray();
        QByteArray value = eq >= 0 ? trimmed(line.sliced(eq + 1)).toByteArray() : QByteArray();
        file.m_sections[current].entries.append({std::move(key), std::move(value)});
    }
    file.m_indexValid = true;
    return file;
}

TGroupFile TGroupFile::load(const QString& path, LoadStatus* status, QString* reason) {
    QByteArray bytes;
    LoadStatus result = LoadStatus::Loaded;
    switch (FileRead::readAll(path, kMaxFileSize, &bytes, reason)) {
    case FileRead::Status::Read:
        break;
    case FileRead::Status::Missing:
        result = LoadStatus::Missing;
        break;
    case FileRead::Status::Unreadable:
        result = LoadStatus::Unreadable;
        break;
    }
    if (status)
        *status = result;
    return result == LoadStatus::Loaded ? fromBytes(bytes) : TGroupFile();
}

qsizetype TGroupFile::indexOf(const QByteArray& group) const {
    if (!m_indexValid) {
        m_index.clear();
        m_index.reserve(m_sections.size());
        // Backwards, so that the first section of a name wins.
        for (qsizetype i = m_sections.size() - 1; i >= 0; --i)
            m_index.insert(foldedName(m_sections.at(i).name), i);
        m_indexValid = true;
    }
    return m_index.value(foldedName(group), -1);
}

QList<QByteArray> TGroupFile::groupNames() const {
    QList<QByteArray> names;
    names.reserve(m_sections.size());
    for (const TSection& s : m_sections)
        names.append(s.name);
    return names;
}

bool TGroupFile::contains(const QByteArray& group) const {
    return indexOf(group) >= 0;
}

std::optional<QByteArray> TGroupFile::value(const QByteArray& group, const QByteArray& key) const {
    const qsizetype i = indexOf(group);
    if (i < 0)
        return std::nullopt;
    return entryValue(m_sections.at(i), key);
}

std::optional<QByteArray> TGroupFile::entryValue(const TSection& section, const QByteArray& key) {
    for (const auto& [k, v] : section.entries) {
        if (sameName(k, key))
            return v;
    }
    return std::nullopt;
}

QByteArray TGroupFile::membersText(const QByteArray& group) const {
    return value(group, kMembersKey).value_or(QByteArray());
}

QList<QByteArray> TGroupFile::members(const QByteArray& group) const {
    QList<QByteArray> names = TextUtil::splitDelimited(membersText(group));
    names.removeIf([](const QByteArray& name) { return name.isEmpty(); });
    return names;
}

void TGroupFile::setMembersText(const QByteArray& group, const QByteArray& text) {
    qsizetype i = indexOf(group);
    if (i < 0) {
        m_sections.append(TSection{group, {}});
        i = m_sections.size() - 1;
        sectionsChanged();
    }
    auto& entries = m_sections[i].entries;
    for (auto& [k, v] : entries) {
        if (sameName(k, kMembersKey)) {
            v = text;
            return;
        }
    }
    entries.append({kMembersKey, text});
}

void TGroupFile::setMembers(const QByteArray& group, const QList<QByteArray>& names) {
    setMembersText(group, memberListText(names));
}

bool TGroupFile::removeGroup(const QByteArray& group) {
    const qsizetype i = indexOf(group);
    if (i < 0)
        return false;
    m_sections.removeAt(i);
    sectionsChanged();
    return true;
}

QByteArray TGroupFile::memberListText(const QList<QByteArray>& names) {
    QByteArray text;
    for (const QByteArray& name : names) {
        text += name;
        text += ',';
    }
    return text;
}

QByteArray TGroupFile::toBytes() const {
    if (m_sections.isEmpty())
        return {};
    QByteArray text;
    for (const TSection& s : m_sections) {
        text += '[' + s.name + "]\r\n";
        text += kMembersKey + '=' + entryValue(s, kMembersKey).value_or(QByteArray()) + "\r\n";
        text += "\r\n";
    }
    return encode(text, m_encoding);
}

bool TGroupFile::save(const QString& path) const {
    return FileReplace::write(path, toBytes());
}

bool TGroupFile::save(const QString& path, QString* reason) const {
    return FileReplace::write(path, toBytes(), reason);
}
