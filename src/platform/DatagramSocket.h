#pragma once

#include "platform/IpAddress.h"

#include <QByteArray>

#include <memory>

class TDatagramQueue;

// A bound UDP socket of the system with a reader of its own: the reader waits
// on a thread for datagrams and moves each one of 1 to maxSize bytes into the
// queue as soon as it arrives, so that the kernel's buffer does not fill while
// the GUI thread is busy. Empty datagrams, longer ones and receive errors are
// dropped there. Destroying the object stops the reader and closes the socket.
class IDatagramSocket {
public:
    virtual ~IDatagramSocket() = default;
    enum class SendResult {
        Sent,        // every byte was handed to the network
        Unreachable, // no network leads there (none is up, or no route)
        Failed,
    };
    // Sends the bytes as one datagram.
    virtual SendResult send(const QByteArray& bytes, const TIpAddress& to, quint16 port) = 0;
    // The kernel's receive buffer in bytes, as granted of receiveBuffer.
    virtual int receiveBufferSize() const = 0;
    // Moves what waits in the kernel's buffer into the queue now, from the
    // calling thread, in order with what the reader moves; nothing when the
    // reader is at it. For a busy GUI thread, while the scheduler keeps the
    // reader waiting.
    virtual void takeWaiting() {}
};

struct TDatagramSocketOptions {
    TIpAddress::Family family = TIpAddress::Family::IPv4; // or IPv6 (IPv6 only)
    quint16 port = 0;
    int maxSize = 8192;          // longest datagram delivered
    int receiveBuffer = 4 << 20; // asked of the kernel, which may grant less
};

enum class TBindFailure {
    None,
    FamilyMissing, // the system has no such protocol (IPv6 switched off)
    Other,         // the port is taken, or the system refused
};

// Binds the wildcard address of the family on the port, shared with no other
// socket, with broadcast permitted, and starts its reader. Null when the
// binding fails; then `failure` (when given) tells why.
std::unique_ptr<IDatagramSocket> OpenDatagramSocket(const TDatagramSocketOptions& options, TDatagramQueue& queue,
                                                    TBindFailure* failure = nullptr);
