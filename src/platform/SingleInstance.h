#pragma once

#include <QObject>

// One running instance per user. The first start becomes the primary instance;
// a later start finds it, asks it to show itself and ends.
class TSingleInstance : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~TSingleInstance() override = default;

    // True when no other instance runs: this one is now the primary instance
    // and reports show requests. False when another instance answers.
    virtual bool tryBecomePrimary() = 0;
    // Asks the primary instance to show itself (the show request of a second
    // start). Returns once the request is handed over; false if it could not be.
    virtual bool sendShowRequest() = 0;
    virtual bool isPrimary() const = 0;

Q_SIGNALS:
    // A second start asked this (primary) instance to show itself.
    void showRequested();
};
