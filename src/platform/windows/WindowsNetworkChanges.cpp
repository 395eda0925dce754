#include "platform/windows/WindowsNetworkChanges.h"

#include <QLoggingCategory>

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <netioapi.h>

namespace {
Q_LOGGING_CATEGORY(lcChanges, "palavero.platform.network", QtInfoMsg)

void NETIOAPI_API_ onAddressChange(void* context, MIB_UNICASTIPADDRESS_ROW*, MIB_NOTIFICATION_TYPE) {
    static_cast<TWindowsNetworkChanges*>(context)->reportChange();
}

void NETIOAPI_API_ onInterfaceChange(void* context, MIB_IPINTERFACE_ROW*, MIB_NOTIFICATION_TYPE) {
    static_cast<TWindowsNetworkChanges*>(context)->reportChange();
}
} // namespace

TWindowsNetworkChanges::~TWindowsNetworkChanges() {
    stop();
}

bool TWindowsNetworkChanges::start() {
    if (FAddressNotification)
        return true;
    HANDLE addresses = nullptr;
    const DWORD status = ::NotifyUnicastIpAddressChange(AF_INET, &onAddressChange, this, FALSE, &addresses);
    if (status != NO_ERROR) {
        qCDebug(lcChanges) << "cannot listen for address changes, error" << status;
        return false;
    }
    FAddressNotification = addresses;
    // Without interface reports, the addresses alone still tell of most changes.
    HANDLE interfaces = nullptr;
    if (::NotifyIpInterfaceChange(AF_INET, &onInterfaceChange, this, FALSE, &interfaces) == NO_ERROR)
        FInterfaceNotification = interfaces;
    return true;
}

void TWindowsNetworkChanges::stop() {
    // Cancelling waits for a report that is being made; what it posted goes
    // with this object.
    if (FInterfaceNotification)
        ::CancelMibChangeNotify2(FInterfaceNotification);
    if (FAddressNotification)
        ::CancelMibChangeNotify2(FAddressNotification);
    FInterfaceNotification = FAddressNotification = nullptr;
}

void TWindowsNetworkChanges::reportChange() {
    // A burst of reports leads to one look at the interfaces.
    if (FReportPending.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            FReportPending = false;
            qCDebug(lcChanges) << "the network changed";
            Q_EMIT changed();
        },
        Qt::QueuedConnection);
}
