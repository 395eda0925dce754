#pragma once

#include "core/ByteOrderMark.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>
#include <utility>

// The group store: the ini file PalaveroGroups.ini held in memory.
//
// Reading (any file, also one received from a peer): lines end with CR LF, LF
// or CR; each line is trimmed of blanks and control characters; empty lines and
// lines beginning with ';' are skipped; "[name]" opens a section (name trimmed);
// lines before the first section are ignored; "key=value" is split at the first
// '=', both trimmed; a line without '=' is a key with an empty value. Section and
// key names are compared without regard to letter case, and the first occurrence
// of a name wins (a repeated section is dropped whole). The text ends at the
// first NUL character. A file beginning with a UTF-8, UTF-16 LE or UTF-16 BE
// byte-order mark is read in that encoding and remembered, so that it is written
// back in it, with the mark. Names and values are held as Windows-1252.
//
// Writing: for each group "[" name "]" CR LF, "Members=" value CR LF, CR LF;
// a store without groups is 0 bytes.
class TGroupFile {
  public:
    using Encoding = ByteOrderMark::Encoding;
    enum class LoadStatus { Loaded, Missing, Unreadable };

    struct TSection {
        QByteArray name;
        QList<std::pair<QByteArray, QByteArray>> entries; // key, value; in file order
    };

    static const QByteArray kMembersKey; // "Members"

    // Parses file bytes (byte-order mark included, if any).
    static TGroupFile fromBytes(const QByteArray& bytes);
    // The largest group file that is read.
    static constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;
    // Loads the file at `path`: only a regular file of at most kMaxFileSize
    // bytes. A missing or unreadable file gives an empty store; the status tells
    // them apart, and `reason` (when given) says in German why it is unreadable.
    static TGroupFile load(const QString& path, LoadStatus* status = nullptr, QString* reason = nullptr);

    // Group names (section names) in file order.
    QList<QByteArray> groupNames() const;
    const QList<TSection>& sections() const { return m_sections; }
    bool isEmpty() const { return m_sections.isEmpty(); }
    bool contains(const QByteArray& group) const;

    // The value of `key` in section `group`, or nullopt when either is missing.
    std::optional<QByteArray> value(const QByteArray& group, const QByteArray& key) const;
    // The group's "Members" value (empty when the group or the key is missing).
    QByteArray membersText(const QByteArray& group) const;
    // The member list as read: the "Members" value split by the tolerant
    // delimited-text rule, empty names dropped.
    QList<QByteArray> members(const QByteArray& group) const;

    // Sets the group's "Members" value; a missing group gets its section at the end.
    void setMembersText(const QByteArray& group, const QByteArray& text);
    // The same with the written form of a member list: each name followed by ','.
    void setMembers(const QByteArray& group, const QList<QByteArray>& names);
    // Erases the group's section; false when there is none.
    bool removeGroup(const QByteArray& group);

    Encoding encoding() const { return m_encoding; }
    void setEncoding(Encoding encoding) { m_encoding = encoding; }

    // The written form, in the remembered encoding.
    QByteArray toBytes() const;
    // Writes the written form through a new file renamed over the old one.
    bool save(const QString& path) const;
    // The same; on failure `reason` receives a German text saying why.
    bool save(const QString& path, QString* reason) const;

    // "PC1,PC2," for PC1 and PC2; empty for no names.
    static QByteArray memberListText(const QList<QByteArray>& names);
    // Names compared as section and key names are: letter case ignored.
    static bool sameName(const QByteArray& a, const QByteArray& b);

    // The form in which names are compared: case-folded Unicode.
    static QString foldedName(const QByteArray& name);

  private:
    qsizetype indexOf(const QByteArray& group) const;
    static std::optional<QByteArray> entryValue(const TSection& section, const QByteArray& key);
    // Every change of m_sections (a section added, removed, renamed or moved)
    // calls this, so that lookups by name stay right.
    void sectionsChanged() { m_indexValid = false; }

    QList<TSection> m_sections;
    Encoding m_encoding = Encoding::Ansi;
    // Folded section name -> position in m_sections, built on the first lookup
    // after a change: looking a name up costs the same for 10 or 100 000 groups.
    mutable QHash<QString, qsizetype> m_index;
    mutable bool m_indexValid = false;
};
