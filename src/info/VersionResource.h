#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

// The Windows version resource (VS_VERSIONINFO) block: a tree of nodes, each
//   WORD wLength, WORD wValueLength, WORD wType, UTF-16 key with its zero,
//   padding to 32 bits, value, padding to 32 bits, children,
// all little-endian whatever the machine. We keep this layout inside our ELF note so
// that the strings are looked up exactly as VerQueryValue looks them up.
namespace VersionResource {

// One string table: its key ("040904e4") and its (name, value) strings in order.
struct StringTable {
    QString key;
    QList<QPair<QString, QString>> strings;
};

// Everything a version block holds that the program uses.
struct Contents {
    QList<StringTable> stringTables;
    // Entries of "\VarFileInfo\Translation": (language, code page). Empty: no VarFileInfo.
    QList<QPair<quint16, quint16>> translations;
};

// Builds the binary block. Returns an empty array when the block would not fit the
// 16-bit lengths of the format.
QByteArray build(const Contents& contents);

// Looks a path such as "\VarFileInfo\Translation" or "\StringFileInfo\040904e4\FileVersion" up
// in a block, as VerQueryValue does (keys compared without regard to letter case). On success
// returns true and gives the value's bytes and its wType (1 text, 0 binary). Any malformed
// part of the block makes the lookup fail; it never reads outside the given bytes.
bool query(const QByteArray& block, const QString& path, QByteArray* value, int* type = nullptr);

// The text at a string path, up to its terminating zero; empty when missing or zero-length.
QString queryString(const QByteArray& block, const QString& path);

} // namespace VersionResource
