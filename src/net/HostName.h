#pragma once

#include <QByteArray>

// Destinations of a datagram as the sending rules name them.
namespace HostName {

// A dotted IPv4 address such as 192.168.1.17.
bool isDottedIPv4(const QByteArray& host);
// Whether the destination names something: "*" (broadcast), a dotted IPv4
// address, or a name that the system's resolver turns into an IPv4 address.
bool isKnown(const QByteArray& host);

} // namespace HostName
