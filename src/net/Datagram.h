#pragma once

#include <QByteArray>
#include <QByteArrayView>

// The text of one datagram: sender computer name + ":" + keyword + payload.
// Every keyword ends in its own colon; keywords are compared exactly.
namespace Datagram {

inline constexpr char kConnect[] = "KVPALAVEROCONNECT:";
inline constexpr char kDisconnect[] = "KVPALAVERODISCONNECT:";
inline constexpr char kRefresh[] = "KVPALAVEROREFRESH:";
inline constexpr char kGroups[] = "KVPALAVEROGROUPS:";
inline constexpr char kData[] = "KVPALAVERODATA:";

// The endpoint's datagram buffer. A text is sent only when its length plus 100
// fits into it (at most 8 092 bytes); datagrams of up to this size are received.
constexpr qsizetype kBufferSize = 8192;
constexpr qsizetype kHeadroom = 100;
constexpr qsizetype kMaxTextSize = kBufferSize - kHeadroom;
// What the user is told about a text that does not fit.
inline constexpr char16_t kTooLongText[] = u"Text der Nachricht ist zu lang, bitte kürzen!";

// True when the keyword after the sender name is connect, refresh or
// disconnect (bytes as received; the keywords are ASCII on every encoding).
bool isPresence(QByteArrayView text);

// sender + ":" + keyword + payload
QByteArray build(const QByteArray& sender, const char* keyword, const QByteArray& payload = {});

} // namespace Datagram
