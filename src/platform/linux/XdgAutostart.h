#pragma once

#include "platform/Autostart.h"

// $XDG_CONFIG_HOME/autostart/<title>.desktop; its Exec line is the command.
// The command is the program's full path: it is written as one quoted argument
// where the desktop-entry rules need it (blanks, quotes, '%') and read back the
// same way. An entry that the desktop hides (Hidden=true, or
// X-GNOME-Autostart-enabled=false) counts as no entry.
class TXdgAutostart : public IAutostart {
  public:
    QString read(const QString& title) const override;
    bool write(const QString& title, const QString& command) override;
    static QString filePath(const QString& title);

    // The Exec value for a program path, and the command of an Exec value.
    static QString execValue(const QString& program);
    static QString commandOfExec(const QString& execValue);
};
