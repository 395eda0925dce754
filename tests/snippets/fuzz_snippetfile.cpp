// libFuzzer entry point for the snippet file reader and writer.
//
// Whatever the bytes, reading must not crash or hang; every row is one line
// (no line break in it, no "=" in a key, no NUL); the written form reads back
// as the same rows in the same encoding and is written again byte for byte.

#include "common/FuzzCheck.h"
#include "snippets/SnippetFile.h"

#include <cstddef>
#include <cstdint>

namespace {

bool isOneLine(const QString& s) {
    return !s.contains(QLatin1Char('\r')) && !s.contains(QLatin1Char('\n')) && !s.contains(QChar(u'\0'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const TSnippetFile first = TSnippetFile::fromBytes(bytes);
    check(first.rows.size() <= bytes.size());
    for (const TSnippet& row : first.rows) {
        check(isOneLine(row.key) && isOneLine(row.text));
        check(!row.key.contains(QLatin1Char('=')));
    }

    const QByteArray written = first.toBytes();
    const TSnippetFile second = TSnippetFile::fromBytes(written);
    check(second.encoding == first.encoding || (first.rows.isEmpty() && first.encoding == TSnippetFile::Encoding::Ansi));
    check(second.rows == first.rows);
    check(second.toBytes() == written);
    return 0;
}
