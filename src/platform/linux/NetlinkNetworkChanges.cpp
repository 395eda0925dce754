#include "platform/linux/NetlinkNetworkChanges.h"

#include <QLoggingCategory>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
Q_LOGGING_CATEGORY(lcChanges, "palavero.platform.network", QtInfoMsg)

// Whether the reports tell of something worth a look: an address added or
// removed, a link removed, or a link that runs. A link that is up but does not
// run yet carries nothing (its queue drops what is sent); the report that it
// runs follows.
bool worthALook(const char* data, ssize_t size) {
    auto remaining = unsigned(size);
    for (auto* report = reinterpret_cast<const nlmsghdr*>(data); NLMSG_OK(report, remaining);
         report = NLMSG_NEXT(report, remaining)) {
        switch (report->nlmsg_type) {
        case RTM_NEWLINK:
            if (report->nlmsg_len >= NLMSG_LENGTH(sizeof(ifinfomsg)) &&
                (static_cast<const ifinfomsg*>(NLMSG_DATA(report))->ifi_flags & IFF_RUNNING))
                return true;
            break;
        case RTM_DELLINK:
        case RTM_NEWADDR:
        case RTM_DELADDR:
            return true;
        default:
            break;
        }
    }
    return false;
}

} // namespace

TNetlinkNetworkChanges::~TNetlinkNetworkChanges() {
    stop();
}

bool TNetlinkNetworkChanges::start() {
    if (FFd >= 0)
        return true;
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (fd < 0) {
        qCDebug(lcChanges) << "no netlink socket:" << std::strerror(errno);
        return false;
    }
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        qCDebug(lcChanges) << "cannot listen for network changes:" << std::strerror(errno);
        ::close(fd);
        return false;
    }
    FFd = fd;
    FNotifier = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TNetlinkNetworkChanges::onReadable);
    return true;
}

void TNetlinkNetworkChanges::stop() {
    if (FFd < 0)
        return;
    delete FNotifier;
    FNotifier = nullptr;
    ::close(FFd);
    FFd = -1;
}

void TNetlinkNetworkChanges::onReadable() {
    // However many reports there are, they lead to one look at the interfaces.
    // Reports lost to a full buffer (ENOBUFS) may have been worth it.
    bool reported = false;
    alignas(nlmsghdr) char buffer[8192];
    for (;;) {
        const ssize_t got = ::recv(FFd, buffer, sizeof buffer, 0);
        if (got >= 0) {
            reported = reported || worthALook(buffer, got);
            continue;
        }
        if (errno == ENOBUFS) {
            reported = true;
            continue;
        }
        if (errno != EINTR)
            break;
    }
    if (!reported)
        return;
    qCDebug(lcChanges) << "the network changed";
    Q_EMIT changed();
}
