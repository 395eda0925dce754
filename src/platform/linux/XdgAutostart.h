#pragma once

#include "platform/Autostart.h"

// $XDG_CONFIG_HOME/autostart/<title>.desktop; its Exec line is the command.
class TXdgAutostart : public IAutostart {
public:
    QString read(const QString& title) const override;
    bool write(const QString& title, const QString& command) override;
    static QString filePath(const QString& title);
};
