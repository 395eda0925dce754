#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// One running instance per user. The first start becomes the primary instance;
// a later start finds it, asks it to show itself and ends. A script hands its
// message to the primary instance, which sends it and answers.
class TSingleInstance : public QObject {
    Q_OBJECT
public:
    // The primary instance's answer to a handed-over message.
    struct TMessageReply {
        bool sent = false;
        QString error; // German, one line per failure
    };
    // Sends a handed-over message (recipient and text in Windows-1252).
    using TMessageHandler = std::function<TMessageReply(const QByteArray& recipient, const QByteArray& text)>;

    using QObject::QObject;
    ~TSingleInstance() override = default;

    // True when no other instance runs: this one is now the primary instance
    // and reports show requests. False when another instance answers.
    virtual bool tryBecomePrimary() = 0;
    // Asks the primary instance to show itself (the show request of a second
    // start). Returns once the request is handed over; false if it could not be.
    virtual bool sendShowRequest() = 0;
    virtual bool isPrimary() const = 0;
    // Whether another instance answers, without becoming the primary one.
    virtual bool otherInstanceRuns() const = 0;
    // Hands a message to the primary instance and waits for its answer; nullopt
    // when no instance runs. An instance that does not answer gives a reply
    // that was not sent.
    virtual std::optional<TMessageReply> handOverMessage(const QByteArray& recipient, const QByteArray& text) = 0;

    // The primary instance's handling of handed-over messages; without one they
    // are answered as not sent.
    void setMessageHandler(TMessageHandler handler) { FMessageHandler = std::move(handler); }

Q_SIGNALS:
    // A second start asked this (primary) instance to show itself.
    void showRequested();

protected:
    TMessageReply handleMessage(const QByteArray& recipient, const QByteArray& text) const {
        if (!FMessageHandler)
            return {false, QStringLiteral("Die laufende Instanz nimmt keine Nachrichten an.")};
        return FMessageHandler(recipient, text);
    }

private:
    TMessageHandler FMessageHandler;
};
