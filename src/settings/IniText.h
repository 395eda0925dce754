#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The text of an INI settings file in the layout QSettings reads and writes
// (UTF-8, "[group]" lines, "key=value" lines, values escaped and quoted as
// QSettings does), read leniently and changed line by line: a line that is not
// understood is skipped when reading and kept as it stands when writing, so one
// broken line costs neither the values around it nor itself.
class TIniText {
  public:
    static TIniText fromBytes(const QByteArray& bytes);

    // The value of `key` in `group` with its escapes undone; values that the
    // INI reader would take as a list (unquoted commas) come back joined by ", ".
    // nullopt when the group or the key is missing.
    std::optional<QString> value(const QString& group, const QString& key) const;
    // Sets the value, in place when the key exists, else as a new line at the end
    // of the group (a missing group is added at the end of the text).
    void setValue(const QString& group, const QString& key, const QString& value);

    // The text, every line ending in LF (CR LF where the line itself ends in CR,
    // so that reading the text again gives the same lines).
    QByteArray toBytes() const;

    // A value as QSettings writes a string.
    static QByteArray escaped(const QString& value);
    // A written value read back (the inverse of escaped()).
    static QString unescaped(QByteArrayView written);

  private:
    struct TGroupRange {
        qsizetype header = -1; // index of the "[group]" line
        qsizetype end = 0;     // one past its last line
    };
    std::optional<TGroupRange> findGroup(const QString& group) const;
    qsizetype findKey(const TGroupRange& range, const QString& key) const;

    QList<QByteArray> FLines; // without line ends
};
