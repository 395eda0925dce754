// libFuzzer entry point for the comma list split of recipient and member lists.
//
// Whatever the bytes, the split must not crash, no item may hold a blank or a
// control character unless it came from a quoted item, and a list of plain
// names written back with commas must split into the same names.

#include "common/FuzzCheck.h"
#include "core/TextUtil.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool isPlain(const QByteArray& item) {
    for (char c : item) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 32 || c == ',' || c == '"')
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QList<QByteArray> items = TextUtil::splitDelimited(text);
    if (!text.contains('"')) {
        QList<QByteArray> names;
        for (const QByteArray& item : items) {
            check(isPlain(item) || item.isEmpty());
            if (!item.isEmpty())
                names << item;
        }
        // Plain names joined with commas split back into themselves.
        check(TextUtil::splitDelimited(names.join(',')) == names);
    }
    return 0;
}
