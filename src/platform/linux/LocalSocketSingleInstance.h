#pragma once

#include "platform/SingleInstance.h"

#include <QString>

class TUnixConnection;
class TUnixServer;

// Single instance through a local socket: the primary instance listens on
// "PALAVERO.MUTEX" in the user's runtime folder ($XDG_RUNTIME_DIR when it is
// the user's and nobody else may write in it, else a private folder of the
// user's in the temporary folder), readable and writable by the user only.
// Both ends talk only to processes of the same user. A second start connects
// and sends a show request. A socket left behind by an instance that was
// killed (nobody accepts) is removed.
//
// Requests on the socket: "SHOW\n" (show the window), or "SEND\n" followed by
// the lengths of recipient and text (32 bits each, big-endian) and their bytes,
// answered with "OK\n" or "ERR\n" and the German reasons in UTF-8.
class TLocalSocketSingleInstance : public TSingleInstance {
    Q_OBJECT
public:
    explicit TLocalSocketSingleInstance(QObject* parent = nullptr);
    // For tests: a socket at the given full path.
    explicit TLocalSocketSingleInstance(const QString& socketPath, QObject* parent = nullptr);
    ~TLocalSocketSingleInstance() override;

    bool tryBecomePrimary() override;
    bool sendShowRequest() override;
    bool isPrimary() const override { return FPrimary; }
    bool otherInstanceRuns() const override;
    std::optional<TMessageReply> handOverMessage(const QByteArray& recipient, const QByteArray& text) override;

    QString socketPath() const { return FSocketPath; }
    // The socket path for the given name: "$XDG_RUNTIME_DIR/<name>", or
    // "<temporary folder>/palavero-<user id>/<name>" without a runtime folder
    // that is the user's alone.
    static QString defaultSocketPath(const QString& name = QStringLiteral("PALAVERO.MUTEX"));

    // The bytes of a show request.
    static QByteArray showRequestBytes();
    // The bytes of a handed-over message.
    static QByteArray sendRequestBytes(const QByteArray& recipient, const QByteArray& text);
    static constexpr int TimeoutMs = 2000;
    // How long a script waits for the instance to send (names may need resolving).
    static constexpr int ReplyTimeoutMs = 30000;
    // The most connections served at a time; each is closed after TimeoutMs
    // unless it is being answered.
    static constexpr int MaxConnections = 16;
    // The largest recipient and text a request may carry.
    static constexpr quint32 MaxRecipientBytes = 64 * 1024;
    static constexpr quint32 MaxTextBytes = 64 * 1024;

private:
    enum class TProbe { Nobody, Answered, Stale };
    TProbe probe() const;
    void onClientReadable(TUnixConnection* client);
    void answerSendRequest(TUnixConnection* client);

    QString FSocketPath;
    TUnixServer* FServer = nullptr;
    bool FPrimary = false;
};
