#pragma once

#include "platform/SingleInstance.h"

class TWindowsMessages;

// Single instance through the named mutex "PALAVERO.MUTEX" (of this Windows
// session) and the program's hidden window: a second start finds the window
// and posts it the show request, message 1194. A script hands its message
// over with WM_COPYDATA to that window and waits for the answer: the result of
// the message is 1 when it was sent, 2 when not, and then the German reasons
// come back before it in a WM_COPYDATA (UTF-16) to a message-only window of the
// script's. Windows delivers these messages only within the desktop of the
// session, which can drive the instance's window anyway.
//
// A handed-over message: the length of the recipient (32 bits, little-endian),
// the recipient and the text, all in Windows-1252.
class TWindowsSingleInstance : public TSingleInstance {
    Q_OBJECT
public:
    explicit TWindowsSingleInstance(TWindowsMessages& messages, QObject* parent = nullptr);
    ~TWindowsSingleInstance() override;

    bool tryBecomePrimary() override;
    bool sendShowRequest() override;
    bool isPrimary() const override { return FPrimary; }
    bool otherInstanceRuns() const override;
    std::optional<TMessageReply> handOverMessage(const QByteArray& recipient, const QByteArray& text) override;

    static constexpr unsigned kShowRequest = 1194;
    // How long the instance waits for a script to take the reasons.
    static constexpr int TimeoutMs = 2000;
    // How long a script waits for the instance to send (names may need resolving).
    static constexpr int ReplyTimeoutMs = 30000;
    // The largest recipient and text a request may carry.
    static constexpr quint32 MaxRecipientBytes = 64 * 1024;
    static constexpr quint32 MaxTextBytes = 64 * 1024;

private:
    TWindowsMessages& FMessages;
    void* FMutex = nullptr;
    bool FPrimary = false;
};
