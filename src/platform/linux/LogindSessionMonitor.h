#pragma once

#include "platform/SessionMonitor.h"

// Session and power events from systemd-logind on the system bus.
class TLogindSessionMonitor : public TSessionMonitor {
    Q_OBJECT
public:
    explicit TLogindSessionMonitor(QObject* parent = nullptr);
    bool isAvailable() const override { return FAvailable; }

private:
    bool FAvailable = false;
};
