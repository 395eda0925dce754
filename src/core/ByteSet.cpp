#include "core/ByteSet.h"

#include <cstring>

bool TByteSet::insert(const QByteArray& bytes) {
    const qsizetype before = FKeys.size();
    FKeys.insert(Key{bytes});
    return FKeys.size() != before;
}

size_t TByteSet::hash(QByteArrayView bytes, size_t seed) noexcept {
    constexpr qsizetype kFastLength = 16;
    if (bytes.size() >= kFastLength)
        return qHashBits(bytes.data(), size_t(bytes.size()), seed);
    char padded[kFastLength] = {};
    if (!bytes.isEmpty())
        std::memcpy(padded, bytes.data(), size_t(bytes.size()));
    return qHashBits(padded, kFastLength, seed ^ size_t(bytes.size()));
}
