#pragma once

#include <QString>

#include <cstdint>
#include <functional>

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

    // Told the text of a failure the user is shown in a message box (the list
    // of allowed programs cannot be gone through); the routine goes on.
    void setMessageReport(std::function<void(const QString&)> report) { FReport = std::move(report); }

protected:
    void reportMessage(const QString& text) const {
        if (FReport)
            FReport(text);
    }

private:
    std::function<void(const QString&)> FReport;
};
