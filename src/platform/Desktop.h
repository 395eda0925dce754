#pragma once

#include <QString>

// Hands an address or a file to the desktop's default program.
class IDesktop {
public:
    virtual ~IDesktop() = default;
    virtual bool openUrl(const QString& url) = 0;
    virtual bool openFile(const QString& path) = 0;
};
