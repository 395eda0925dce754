#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGlobal>

#include <array>

// An IPv4 or IPv6 address, or none (null). An IPv6 address may carry its zone
// (the interface of a link-local address) as a name or a number.
//
// Text is read and written as the program has always shown and sent
// addresses: IPv4 dotted; IPv6 in lower case with the first longest run of two
// or more zero groups shortened to "::", an IPv4-mapped address as
// "::ffff:1.2.3.4", the zone after a "%". Reading ignores white space around
// the text and takes IPv4 also in the forms of inet_aton: fewer than four
// parts ("127.1"), octal ("010") and hex ("0x0a") numbers; binary ("0b1") too.
class TIpAddress {
  public:
    enum class Family : quint8 { None, IPv4, IPv6 };
    using TIPv6Bytes = std::array<quint8, 16>;

    TIpAddress() = default;
    // An IPv4 address in host byte order.
    explicit TIpAddress(quint32 ipv4) : FFamily(Family::IPv4), FIPv4(ipv4) {}
    // An IPv6 address in network byte order.
    explicit TIpAddress(const TIPv6Bytes& ipv6, const QByteArray& zone = {})
        : FFamily(Family::IPv6), FIPv6(ipv6), FZone(zone) {}

    // The address the text names; null when it names none.
    static TIpAddress parse(QByteArrayView text);
    static TIpAddress localhost() { return TIpAddress(quint32(0x7F000001)); }
    static TIpAddress anyIPv6() { return TIpAddress(TIPv6Bytes{}); }

    Family family() const { return FFamily; }
    bool isNull() const { return FFamily == Family::None; }
    bool isIPv4() const { return FFamily == Family::IPv4; }
    bool isIPv6() const { return FFamily == Family::IPv6; }

    // The IPv4 address in host byte order; 0 for any other.
    quint32 toIPv4() const { return FIPv4; }
    // The IPv4 address this one stands for: an IPv4 address, an IPv4-mapped
    // IPv6 address, or the unspecified IPv6 address (as 0.0.0.0).
    bool toIPv4(quint32& ipv4) const;
    // The 16 bytes of an IPv6 address; zeros for any other.
    const TIPv6Bytes& toIPv6() const { return FIPv6; }
    QByteArray zone() const { return FZone; }

    // 127.0.0.0/8, ::1 and IPv4-mapped loopback addresses.
    bool isLoopback() const;
    // 224.0.0.0/4, ff00::/8 and IPv4-mapped multicast addresses.
    bool isMulticast() const;
    // The IPv6 unspecified address "::" (any zone).
    bool isAnyIPv6() const;

    // The address as text (empty for null).
    QByteArray toText() const;
    QString toString() const { return QString::fromLatin1(toText()); }

    bool operator==(const TIpAddress&) const = default;

  private:
    Family FFamily = Family::None;
    quint32 FIPv4 = 0;
    TIPv6Bytes FIPv6{};
    QByteArray FZone;
};
