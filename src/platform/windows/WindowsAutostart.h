#pragma once

#include "platform/Autostart.h"

// The value named after the application title under the current user's Run
// key (HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run), a
// REG_SZ holding the command. The key is never created; removing the entry
// stores the empty string, the value itself stays. An empty or missing value
// is no entry.
class TWindowsAutostart : public IAutostart {
public:
    static constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

    // The Run key below HKEY_CURRENT_USER (another key for tests).
    explicit TWindowsAutostart(QString runKey = QString::fromLatin1(kRunKey));

    QString read(const QString& title) const override;
    bool write(const QString& title, const QString& command) override;

private:
    QString FRunKey;
};
