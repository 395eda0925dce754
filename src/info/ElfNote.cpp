#include "ElfNote.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include <functional>

namespace ElfNote {
namespace {

constexpr quint32 ShtNote = 7;
constexpr quint32 PtNote = 4;
constexpr int MaxHeaders = 0x10000;     // e_shnum / e_phnum are 16-bit
constexpr qint64 MaxNoteArea = 0x400000; // a note section or segment larger than this is not ours
constexpr int MaxEntrySize = 1024;       // real header entries are 32 to 64 bytes

// Random access to the file or image, never beyond its size.
class Source {
public:
    explicit Source(QIODevice& device) : m_device(device), m_size(device.size()) {}
    qint64 size() const { return m_size; }
    bool read(quint64 offset, quint64 length, QByteArray* out) {
        if (offset > quint64(m_size) || length > quint64(m_size) - offset)
            return false;
        if (!m_device.seek(qint64(offset)))
            return false;
        *out = m_device.read(qint64(length));
        return quint64(out->size()) == length;
    }

private:
    QIODevice& m_device;
    qint64 m_size;
};

// Integer reading in the file's byte order, bounds-checked by the callers.
struct Reader {
    bool bigEndian = false;
    quint64 get(const QByteArray& data, int offset, int width) const {
        quint64 value = 0;
        for (int i = 0; i < width; ++i) {
            const int index = bigEndian ? offset + i : offset + width - 1 - i;
            value = value << 8 | uchar(data[index]);
        }
        return value;
    }
};

int align4(int value) { return (value + 3) & ~3; }

// Walks the notes of one note area; returns true when the wanted note is found.
bool scanNotes(const QByteArray& area, const Reader& reader, const QByteArray& owner, quint32 type,
               QByteArray* descriptor) {
    int pos = 0;
    const int size = int(area.size());
    while (pos + 12 <= size) {
        const quint64 nameSize = reader.get(area, pos, 4);
        const quint64 descSize = reader.get(area, pos + 4, 4);
        const quint64 noteType = reader.get(area, pos + 8, 4);
        pos += 12;
        if (nameSize > quint64(size - pos))
            return false;
        const int nameEnd = pos + int(nameSize);
        const int descBegin = align4(nameEnd);
        if (descBegin > size || descSize > quint64(size - descBegin))
            return false;
        const int descEnd = descBegin + int(descSize);
        // The owner name is stored with its terminating zero.
        const QByteArray name = area.mid(pos, int(nameSize));
        if (noteType == type && name.size() == owner.size() + 1 && name.startsWith(owner) &&
            name.endsWith('\0')) {
            if (descSize > MaxDescriptor)
                return false;
            *descriptor = area.mid(descBegin, int(descSize));
            return true;
        }
        pos = align4(descEnd);
    }
    return false;
}

QByteArray findIn(QIODevice& device, const QByteArray& owner, quint32 type) {
    Source source(device);
    QByteArray ident;
    if (!source.read(0, 16, &ident) || !ident.startsWith("\x7f"
                                                         "ELF"))
        return {};
    const int elfClass = uchar(ident[4]); // 1: 32-bit, 2: 64-bit
    const int encoding = uchar(ident[5]); // 1: little-endian, 2: big-endian
    if ((elfClass != 1 && elfClass != 2) || (encoding != 1 && encoding != 2))
        return {};
    const bool is64 = elfClass == 2;
    Reader reader;
    reader.bigEndian = encoding == 2;

    QByteArray header;
    if (!source.read(0, is64 ? 64 : 52, &header))
        return {};
    const int w = is64 ? 8 : 4; // width of addresses and offsets
    const quint64 phOff = reader.get(header, is64 ? 32 : 28, w);
    const quint64 shOff = reader.get(header, is64 ? 40 : 32, w);
    const int phEntSize = int(reader.get(header, is64 ? 54 : 42, 2));
    const int phNum = int(reader.get(header, is64 ? 56 : 44, 2));
    const int shEntSize = int(reader.get(header, is64 ? 58 : 46, 2));
    const int shNum = int(reader.get(header, is64 ? 60 : 48, 2));

    // Each candidate note area (offset, size) is read and scanned in turn.
    QByteArray descriptor;
    auto scanArea = [&](quint64 offset, quint64 size) {
        QByteArray area;
        if (size == 0 || size > quint64(MaxNoteArea) || !source.read(offset, size, &area))
            return false;
        return scanNotes(area, reader, owner, type, &descriptor);
    };
    // Reads a table of `count` entries of `entrySize` bytes (at least `minimum`) and hands each on.
    auto forEachEntry = [&](quint64 offset, int entrySize, int count, int minimum,
                            const std::function<bool(const QByteArray&)>& visit) {
        if (offset == 0 || count <= 0 || count > MaxHeaders || entrySize < minimum || entrySize > MaxEntrySize)
            return false;
        QByteArray table;
        if (!source.read(offset, quint64(entrySize) * quint64(count), &table))
            return false;
        for (int i = 0; i < count; ++i)
            if (visit(table.mid(i * entrySize, entrySize)))
                return true;
        return false;
    };

    // Section headers first: every SHT_NOTE section.
    const bool inSections =
        forEachEntry(shOff, shEntSize, shNum, is64 ? 64 : 40, [&](const QByteArray& section) {
            if (reader.get(section, 4, 4) != ShtNote)
                return false;
            return scanArea(reader.get(section, is64 ? 24 : 16, w), reader.get(section, is64 ? 32 : 20, w));
        });
    if (inSections)
        return descriptor;
    // A file without section headers still has its PT_NOTE segments.
    const bool inSegments =
        forEachEntry(phOff, phEntSize, phNum, is64 ? 56 : 32, [&](const QByteArray& segment) {
            if (reader.get(segment, 0, 4) != PtNote)
                return false;
            return scanArea(reader.get(segment, is64 ? 8 : 4, w), reader.get(segment, is64 ? 32 : 16, w));
        });
    return inSegments ? descriptor : QByteArray();
}

} // namespace

QByteArray find(const QString& fileName, const QByteArray& owner, quint32 type) {
    const QFileInfo info(fileName);
    if (fileName.isEmpty() || !info.isFile()) // directories, devices, pipes: nothing to read
        return {};
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return findIn(file, owner, type);
}

QByteArray findInImage(const QByteArray& image, const QByteArray& owner, quint32 type) {
    QByteArray copy = image;
    QBuffer buffer(&copy);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    return findIn(buffer, owner, type);
}

} // namespace ElfNote
