#pragma once

#include <QByteArray>
#include <QString>

// Finds one note (owner name and type) in an ELF file and returns its descriptor bytes.
// Reads only the headers and the note areas, each checked against the file's size, so
// any file may be given: another format, a truncated or damaged ELF file, a huge file.
namespace ElfNote {

// The note that carries our version block.
inline constexpr char VersionOwner[] = "Palavero";
inline constexpr quint32 VersionType = 1;
// Largest descriptor we accept (a version block has 16-bit lengths).
inline constexpr quint32 MaxDescriptor = 0x10000;

// The descriptor of the first matching note, or an empty array (also on any failure).
QByteArray find(const QString& fileName, const QByteArray& owner, quint32 type);

// Same, for an ELF image already in memory (used by the file variant's logic and by tests).
QByteArray findInImage(const QByteArray& image, const QByteArray& owner, quint32 type);

} // namespace ElfNote
