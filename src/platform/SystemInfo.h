#pragma once

#include <QLocale>
#include <QString>

class ISystemInfo {
public:
    virtual ~ISystemInfo() = default;
    // This computer's name (the host name up to its first '.').
    virtual QString computerName() const = 0;
    // The logged-on user's login name.
    virtual QString userName() const = 0;
    // The system's default locale (Swiss and Liechtenstein German change a caption).
    virtual QLocale systemLocale() const = 0;
    // The folder below which the shared data directory "Korvel/Palavero" lives.
    virtual QString dataRoot() const = 0;
    // The running executable's full, absolute path.
    virtual QString executablePath() const = 0;
};
