// libFuzzer entry point for the group file reader and writer.
//
// Whatever the bytes, reading must not crash, and the written form of what was
// read must read back as the same groups (names, "Members" values, encoding),
// and be written again byte for byte.

#include "common/FuzzCheck.h"
#include "core/TextUtil.h"
#include "groups/GroupFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const TGroupFile first = TGroupFile::fromBytes(bytes);
    const QList<QByteArray> names = first.groupNames();
    for (const QByteArray& name : names) {
        check(first.contains(name));
        const QList<QByteArray> members = first.members(name);
        for (const QByteArray& m : members)
            check(!m.isEmpty());
        check(TextUtil::splitDelimited(first.membersText(name)).size() >= members.size());
    }

    const QByteArray written = first.toBytes();
    const TGroupFile second = TGroupFile::fromBytes(written);
    check(second.groupNames() == names);
    for (const QByteArray& name : names)
        check(second.membersText(name) == first.membersText(name));
    if (!names.isEmpty())
        check(second.encoding() == first.encoding());
    else
        check(written.isEmpty());
    check(second.toBytes() == written);
    return 0;
}
