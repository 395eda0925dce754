// The version block of a file on Linux: the ELF note that palavero_embed_version() makes.

#include "VersionInfo.h"

#include "ElfNote.h"

QString ReadVersionString(const QString& fileName, int index) {
    const QByteArray block = ElfNote::find(fileName, ElfNote::VersionOwner, ElfNote::VersionType);
    if (block.isEmpty())
        return {};
    return VersionStringFromBlock(block, index);
}
