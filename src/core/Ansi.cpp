#include "core/Ansi.h"

#include <array>

namespace {

// Windows-1252 bytes 0x80..0x9F; zero marks the five unassigned bytes,
// which Windows maps to the C1 control of the same value.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char16_t decodeByte(unsigned char b) {
    if (b >= 0x80 && b <= 0x9F) {
        const char16_t u = kHigh[b - 0x80];
        return u ? u : char16_t(b);
    }
    return char16_t(b);
}

char encodeChar(char16_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return char(u);
    for (int i = 0; i < 32; ++i) {
        if (kHigh[i] == u || (kHigh[i] == 0 && u == 0x80 + i))
            return char(0x80 + i);
    }
    return '?';
}

} // namespace

namespace Ansi {

QByteArray fromUnicode(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            ++i; // one character outside the BMP, one '?'
            out.append('?');
            continue;
        }
        out.append(encodeChar(c.unicode()));
    }
    return out;
}

QString toUnicode(const QByteArray& ansi) {
    QString out(ansi.size(), Qt::Uninitialized);
    char16_t* to = reinterpret_cast<char16_t*>(out.data());
    for (char b : ansi)
        *to++ = decodeByte(static_cast<unsigned char>(b));
    return out;
}

} // namespace Ansi
