#pragma once

#include <cstdint>

// The firewall's list of allowed programs. Statuses are HRESULT-like: zero is
// success, a negative value a failure. Either routine may throw.
class IFirewall {
public:
    static constexpr std::int32_t kOk = 0;
    static constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005u);      // E_FAIL
    static constexpr std::int32_t kNoInterface = static_cast<std::int32_t>(0x80004002u); // E_NOINTERFACE

    virtual ~IFirewall() = default;
    virtual std::int32_t probeException() = 0;
    virtual std::int32_t addException() = 0;
};
