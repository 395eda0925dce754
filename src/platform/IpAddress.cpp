#include "platform/IpAddress.h"

#include <cstring>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#endif

namespace {

bool isBlank(char c) {
    // White space of Latin-1 text: the ASCII controls, the blank, NEL and NBSP.
    const auto u = quint8(c);
    return (u >= 0x09 && u <= 0x0D) || u == 0x20 || u == 0x85 || u == 0xA0;
}

// The text without white space at its ends and with each inner run of it
// turned into one blank; null when a character is not 7-bit ASCII.
QByteArray simplifiedAscii(QByteArrayView text) {
    QByteArray out;
    out.reserve(text.size());
    bool blank = false;
    for (const char c : text) {
        if (isBlank(c)) {
            blank = !out.isEmpty();
            continue;
        }
        if (quint8(c) >= 0x7F)
            return {};
        if (blank)
            out += ' ';
        blank = false;
        out += c;
    }
    return out;
}

int digitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

// One number of an IPv4 address: leading blanks, a "+", then hex after "0x",
// binary after "0b", octal after "0", else decimal. Returns where it stopped,
// or `p` itself when there was no number or it overflowed.
const char* readNumber(const char* p, const char* end, quint64& value) {
    const char* const start = p;
    while (p < end && *p == ' ')
        ++p;
    if (p < end && *p == '+')
        ++p;
    int base = 10;
    if (p < end && *p == '0') {
        base = 8;
        if (p + 2 < end && (p[1] == 'x' || p[1] == 'X') && digitValue(p[2]) < 16) {
            base = 16;
            p += 2;
        } else if (p + 2 < end && (p[1] == 'b' || p[1] == 'B') && digitValue(p[2]) < 2) {
            base = 2;
            p += 2;
        }
    }
    const char* const digits = p;
    value = 0;
    bool overflow = false;
    for (; p < end && digitValue(*p) < base; ++p) {
        const quint64 next = value * quint64(base) + quint64(digitValue(*p));
        if (next / quint64(base) != value && !overflow)
            overflow = true;
        value = next;
    }
    if (p == digits || overflow)
        return start;
    return p;
}

// Dotted IPv4 text of one to four parts; the last part fills the bytes left.
bool parseIPv4(const QByteArray& text, quint32& address) {
    const char* p = text.constData();
    const char* const end = p + text.size();
    address = 0;
    for (int dots = 0; dots < 4; ++dots) {
        quint64 value = 0;
        const char* const next = readNumber(p, end, value);
        const auto part = quint32(value);
        if (next == p || value != part)
            return false;
        const bool dotFollows = next < end && *next == '.';
        if (dotFollows || dots == 3) {
            if (part > 0xFF)
                return false;
            address <<= 8;
        } else if (dots == 2) {
            if (part > 0xFFFF)
                return false;
            address <<= 16;
        } else if (dots == 1) {
            if (part > 0xFFFFFF)
                return false;
            address <<= 24;
        }
        address |= part;
        if (next == end)
            return true;
        if (dots == 3 || !dotFollows)
            return false;
        p = next + 1;
    }
    return false;
}

bool parseIPv6(const QByteArray& text, TIpAddress::TIPv6Bytes& bytes) {
    in6_addr address;
    if (::inet_pton(AF_INET6, text.constData(), &address) != 1)
        return false;
    std::memcpy(bytes.data(), &address, bytes.size());
    return true;
}

// The first ten bytes are zero, as in an IPv4-mapped or IPv4-compatible address.
bool startsWithTenZeros(const TIpAddress::TIPv6Bytes& b) {
    static constexpr quint8 kZeros[10] = {};
    return std::memcmp(b.data(), kZeros, sizeof kZeros) == 0;
}

bool isMappedIPv4(const TIpAddress::TIPv6Bytes& b) {
    return startsWithTenZeros(b) && b[10] == 0xFF && b[11] == 0xFF;
}

quint32 lastFour(const TIpAddress::TIPv6Bytes& b) {
    return quint32(b[12]) << 24 | quint32(b[13]) << 16 | quint32(b[14]) << 8 | b[15];
}

char* writeDotted(char* p, quint32 ip) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned octet = (ip >> shift) & 0xFF;
        if (octet >= 100)
            *p++ = char('0' + octet / 100);
        if (octet >= 10)
            *p++ = char('0' + octet / 10 % 10);
        *p++ = char('0' + octet % 10);
        if (shift)
            *p++ = '.';
    }
    return p;
}

// Lower-case hex without leading zeros.
char* writeGroup(char* p, unsigned group) {
    static constexpr char kHex[] = "0123456789abcdef";
    bool started = false;
    for (int shift = 12; shift >= 0; shift -= 4) {
        const unsigned digit = (group >> shift) & 0xF;
        if (digit || started || shift == 0) {
            *p++ = kHex[digit];
            started = true;
        }
    }
    return p;
}

char* writeIPv6(char* p, const TIpAddress::TIPv6Bytes& b) {
    // The last four bytes are written as IPv4 for a mapped address and for an
    // IPv4-compatible one (::1.2.3.4), except where they are only ::1 … ::ff.
    bool embeddedIPv4 = false;
    if (startsWithTenZeros(b)) {
        if (b[10] == 0xFF && b[11] == 0xFF) {
            embeddedIPv4 = true;
        } else if (b[10] == 0 && b[11] == 0) {
            if (b[12] || b[13] || b[14]) {
                embeddedIPv4 = true;
            } else if (b[15] == 0) {
                *p++ = ':';
                *p++ = ':';
                return p;
            }
        }
    }
    // The first longest run of two or more zero groups becomes "::".
    int runStart = -1;
    int runLength = 0;
    for (int i = 0; i < 8;) {
        if (b[2 * i] || b[2 * i + 1]) {
            ++i;
            continue;
        }
        int j = i;
        while (j < 8 && !b[2 * j] && !b[2 * j + 1])
            ++j;
        if (j - i > runLength) {
            runStart = i;
            runLength = j - i;
        }
        i = j;
    }
    if (runLength < 2)
        runStart = -1;
    if (runStart == 0)
        *p++ = ':';
    for (int i = 0; i < 8; ++i) {
        if (i == runStart) {
            *p++ = ':';
            i += runLength - 1;
            continue;
        }
        if (i == 6 && embeddedIPv4)
            return writeDotted(p, lastFour(b));
        p = writeGroup(p, unsigned(b[2 * i]) << 8 | b[2 * i + 1]);
        if (i != 7)
            *p++ = ':';
    }
    return p;
}

} // namespace

TIpAddress TIpAddress::parse(QByteArrayView text) {
    const QByteArray simple = simplifiedAscii(text);
    if (simple.isEmpty())
        return {};
    if (simple.contains(':')) {
        // The zone follows the last "%".
        const qsizetype percent = simple.lastIndexOf('%');
        TIPv6Bytes bytes;
        if (parseIPv6(percent < 0 ? simple : simple.left(percent), bytes))
            return TIpAddress(bytes, percent < 0 ? QByteArray() : simple.mid(percent + 1));
    }
    quint32 ipv4 = 0;
    if (parseIPv4(simple, ipv4))
        return TIpAddress(ipv4);
    return {};
}

bool TIpAddress::toIPv4(quint32& ipv4) const {
    switch (FFamily) {
    case Family::IPv4:
        ipv4 = FIPv4;
        return true;
    case Family::IPv6:
        if (isMappedIPv4(FIPv6)) {
            ipv4 = lastFour(FIPv6);
            return true;
        }
        if (FIPv6 == TIPv6Bytes{}) {
            ipv4 = 0;
            return true;
        }
        return false;
    case Family::None:
        break;
    }
    return false;
}

bool TIpAddress::isLoopback() const {
    static constexpr TIPv6Bytes kLoopback6{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    if (isIPv6() && FIPv6 == kLoopback6)
        return true;
    quint32 ip = 0;
    return toIPv4(ip) && (ip >> 24) == 127;
}

bool TIpAddress::isMulticast() const {
    if (isIPv6() && FIPv6[0] == 0xFF)
        return true;
    quint32 ip = 0;
    return toIPv4(ip) && (ip >> 28) == 0xE;
}

bool TIpAddress::isAnyIPv6() const {
    return isIPv6() && FIPv6 == TIPv6Bytes{};
}

QByteArray TIpAddress::toText() const {
    // "1111:2222:3333:4444:5555:6666:7777:8888" is the longest without the zone.
    char buffer[48];
    char* end = buffer;
    switch (FFamily) {
    case Family::None:
        return {};
    case Family::IPv4:
        end = writeDotted(buffer, FIPv4);
        break;
    case Family::IPv6:
        end = writeIPv6(buffer, FIPv6);
        break;
    }
    QByteArray text(buffer, end - buffer);
    if (!FZone.isEmpty())
        text += '%' + FZone;
    return text;
}
