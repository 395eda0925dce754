#pragma once

#include "platform/SystemInfo.h"

class TWindowsSystemInfo : public ISystemInfo {
public:
    QString computerName() const override;
    QString userName() const override;
    QLocale systemLocale() const override;
    // The common application data folder (C:/ProgramData), with '/' as the
    // separator; empty when Windows does not tell it.
    QString dataRoot() const override;
    // The executable's path as Windows gives it (with '\'), as the Run key holds it.
    QString executablePath() const override;

    // The locale of a Windows locale identifier (2055 is de-CH, 5127 de-LI);
    // the C locale for an identifier that Windows does not know.
    static QLocale localeOf(unsigned long lcid);
};
