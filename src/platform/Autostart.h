#pragma once

#include <QString>

// The desktop's autostart list. An entry is named after the application title
// and holds a command; an empty command means no entry.
class IAutostart {
public:
    virtual ~IAutostart() = default;
    // The stored command, empty when there is none. Throws nothing.
    virtual QString read(const QString& title) const = 0;
    // Stores the command (empty removes the entry's command). Returns false on failure.
    virtual bool write(const QString& title, const QString& command) = 0;
};
