#pragma once

#include <QString>

class IMessageBoxes;

// The shared data directory "<root>/Korvel/Palavero": created with its parents
// when missing and write-tested at every start (also when it exists); failures
// are reported once each and start-up goes on.
class TDataDirectory {
public:
    static QString pathFor(const QString& root);
    // Returns the directory's path; shows one message for each failure.
    static QString prepare(const QString& root, IMessageBoxes& boxes);
};
