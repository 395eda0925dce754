#pragma once

#include "platform/SystemInfo.h"

class TLinuxSystemInfo : public ISystemInfo {
public:
    QString computerName() const override;
    QString userName() const override;
    QLocale systemLocale() const override;
    QString dataRoot() const override;
    QString executablePath() const override;
};
