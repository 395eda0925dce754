#pragma once

#include "platform/IpAddress.h"

#include <QByteArray>
#include <QString>

// Host names through the system's resolver (DNS, hosts file, and what else the
// system asks). A lookup blocks until the resolver answers.
namespace HostLookup {

// The first IPv4 address of the host: an address given as text is taken as it
// is (without a lookup); a name is looked up in its ASCII form (see aceName).
// Null when the host has no IPv4 address or the name is unknown.
TIpAddress firstIPv4(const QString& host);

// The name as the resolver is asked for it: international names in their ACE
// form ("xn--…"). Empty when the text is no valid host name.
QByteArray aceName(const QString& host);

} // namespace HostLookup
