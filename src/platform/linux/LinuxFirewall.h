#pragma once

#include "platform/Firewall.h"

// Linux has no program allow-list API: both routines report a failure status,
// silently.
class TLinuxFirewall : public IFirewall {
public:
    std::int32_t probeException() override { return kFail; }
    std::int32_t addException() override { return kFail; }
};
