#include "groups/GroupFile.h"

#include "core/Ansi.h"
#include "core/FileReplace.h"
#include "core/TextUtil.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

const QByteArray TGroupFile::kMembersKey = QByteArrayLiteral("Members");

namespace {

const QByteArray kBomUtf8 = QByteArrayLiteral("\xEF\xBB\xBF");
const QByteArray kBomUtf16LE = QByteArrayLiteral("\xFF\xFE");
const QByteArray kBomUtf16BE = QByteArrayLiteral("\xFE\xFF");

// The file's text as Windows-1252, and the encoding it was found in.
QByteArray decode(const QByteArray& bytes, TGroupFile::Encoding* encoding) {
    auto fromUnicode = [](QStringDecoder::Encoding enc, QByteArrayView body) {
        QStringDecoder decoder(enc, QStringDecoder::Flag::Stateless);
        QString text = decoder(body);
        return Ansi::fromUnicode(text);
    };
    if (bytes.startsWith(kBomUtf8)) {
        *encoding = TGroupFile::Encoding::Utf8;
        return fromUnicode(QStringDecoder::Utf8, QByteArrayView(bytes).sliced(3));
    }
    if (bytes.startsWith(kBomUtf16LE)) {
        *encoding = TGroupFile::Encoding::Utf16LE;
        return fromUnicode(QStringDecoder::Utf16LE, QByteArrayView(bytes).sliced(2));
    }
    if (bytes.startsWith(kBomUtf16BE)) {
        *encoding = TGroupFile::Encoding::Utf16BE;
        return fromUnicode(QStringDecoder::Utf16BE, QByteArrayView(bytes).sliced(2));
    }
    *encoding = TGroupFile::Encoding::Ansi;
    return bytes;
}

QByteArray encode(const QByteArray& ansi, TGroupFile::Encoding encoding) {
    switch (encoding) {
    case TGroupFile::Encoding::Ansi:
        return ansi;
    case TGroupFile::Encoding::Utf8:
        return kBomUtf8 + Ansi::toUnicode(ansi).toUtf8();
    case TGroupFile::Encoding::Utf16LE: {
        QStringEncoder encoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::Stateless);
        return kBomUtf16LE + QByteArray(encoder(Ansi::toUnicode(ansi)));
    }
    case TGroupFile::Encoding::Utf16BE: {
        QStringEncoder encoder(QStringEncoder::Utf16BE, QStringEncoder::Flag::Stateless);
        return kBomUtf16BE + QByteArray(encoder(Ansi::toUnicode(ansi)));
    }
    }
    return ansi;
}

} // namespace

bool TGroupFile::sameName(const QByteArray& a, const QByteArray& b) {
    if (a == b)
        return true;
    return Ansi::toUnicode(a).compare(Ansi::toUnicode(b), Qt::CaseInsensitive) == 0;
}

TGroupFile TGroupFile::fromBytes(const QByteArray& bytes) {
    TGroupFile file;
    QByteArray text = decode(bytes, &file.m_encoding);
    const qsizetype nul = text.indexOf('\0');
    if (nul >= 0)
        text.truncate(nul);

    // -1: before the first section; -2: inside a repeated section, whose lines are dropped.
    qsizetype current = -1;
    qsizetype pos = 0;
    const qsizetype n = text.size();
    while (pos < n) {
        qsizetype end = pos;
        while (end < n && text.at(end) != '\r' && text.at(end) != '\n')
            ++end;
        const QByteArray line = TextUtil::trim(text.mid(pos, end - pos));
        pos = end + 1;
        if (line.isEmpty() || line.startsWith(';'))
            continue;
        if (line.size() >= 2 && line.startsWith('[') && line.endsWith(']')) {
            const QByteArray name = TextUtil::trim(line.mid(1, line.size() - 2));
            if (file.indexOf(name) >= 0) {
                current = -2;
            } else {
                file.m_sections.append(TSection{name, {}});
                current = file.m_sections.size() - 1;
            }
            continue;
        }
        if (current < 0)
            continue;
        const qsizetype eq = line.indexOf('=');
        QByteArray key = eq >= 0 ? TextUtil::trim(line.left(eq)) : line;
        QByteArray value = eq >= 0 ? TextUtil::trim(line.mid(eq + 1)) : QByteArray();
        file.m_sections[current].entries.append({std::move(key), std::move(value)});
    }
    return file;
}

TGroupFile TGroupFile::load(const QString& path, LoadStatus* status) {
    QFile f(path);
    if (!f.exists()) {
        if (status)
            *status = LoadStatus::Missing;
        return {};
    }
    if (!f.open(QIODevice::ReadOnly)) {
        if (status)
            *status = LoadStatus::Unreadable;
        return {};
    }
    const QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        if (status)
            *status = LoadStatus::Unreadable;
        return {};
    }
    if (status)
        *status = LoadStatus::Loaded;
    return fromBytes(bytes);
}

qsizetype TGroupFile::indexOf(const QByteArray& group) const {
    for (qsizetype i = 0; i < m_sections.size(); ++i) {
        if (sameName(m_sections.at(i).name, group))
            return i;
    }
    return -1;
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
