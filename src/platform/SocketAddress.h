#pragma once

#include "platform/IpAddress.h"

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <sys/socket.h>
#endif

// The system's socket addresses (POSIX and Winsock alike) and ours.
namespace SocketAddress {

// The address with its zone: a link-local IPv6 address is reachable only
// through the interface it came in on. The zone is the interface's name, or
// its number when it has none.
TIpAddress toIpAddress(const sockaddr_storage& from);
// The address and port as a socket address of its family (a zone as a number
// or as an interface name); false for a null address.
bool fromIpAddress(const TIpAddress& address, quint16 port, sockaddr_storage& out, socklen_t& length);

} // namespace SocketAddress
