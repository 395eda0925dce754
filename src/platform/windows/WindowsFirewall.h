#pragma once

#include "platform/Firewall.h"

// The Windows firewall's allowed programs, through its COM interfaces
// (netfw.h) in the current profile, COM initialised for the calling thread
// while a routine runs. The probe makes the entry for this program ("Palavero"
// with the executable's full path) without adding it, after checking that the
// list of allowed programs can be gone through; the add routine makes the
// entry and adds it. Each returns the status of the step that ended it: E_FAIL
// without a firewall profile, else the failure of a COM call. When the list
// cannot be gone through the probe also reports one of three messages.
class TWindowsFirewall : public IFirewall {
public:
    std::int32_t probeException() override;
    std::int32_t addException() override;
};
