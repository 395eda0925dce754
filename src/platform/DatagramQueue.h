#pragma once

#include "platform/IpAddress.h"

#include <QByteArray>
#include <QMutex>
#include <QObject>

#include <deque>
#include <vector>

// One datagram as a reader took it from the socket.
struct TReceivedDatagram {
    QByteArray bytes;
    TIpAddress sender;
};

// Datagrams moved off the sockets by reader threads, waiting for the GUI
// thread: first in, first out, bounded by the memory they take rather than by
// their number. What does not fit is dropped and counted. Readers append from
// their own threads; the consumer takes on its thread.
//
// Datagrams that the urgency test picks (set before the readers start) are
// taken ahead of all others, each group in its own order of arrival; when the
// queue is full, an urgent datagram takes the room of the newest others.
class TDatagramQueue : public QObject {
    Q_OBJECT
  public:
    static constexpr qsizetype kDefaultLimit = 32 * 1024 * 1024;
    // The bookkeeping of one queued datagram, charged beside its bytes.
    static constexpr qsizetype kOverhead = 64;

    explicit TDatagramQueue(qsizetype limitBytes = kDefaultLimit, QObject* parent = nullptr);

    // A pure function of the datagram's bytes; it runs on the readers' threads.
    using TUrgency = bool (*)(QByteArrayView bytes);
    void setUrgency(TUrgency urgent);

    // Appends the datagrams in order and empties the batch. Thread-safe.
    void append(std::vector<TReceivedDatagram>& batch);
    // The oldest datagram; false when the queue is empty. Thread-safe.
    bool take(TReceivedDatagram& out);
    void clear();

    qsizetype size() const;
    qsizetype bytes() const;
    qsizetype limit() const { return FLimit; }
    // Datagrams dropped because the queue was full, since it was made.
    quint64 dropped() const;
    // The most bytes queued at once since the last call.
    qsizetype takePeakBytes();

  Q_SIGNALS:
    // Emitted (from the appending thread) when datagrams wait and the consumer
    // has not been told yet: once after each time take() found the queue empty.
    void arrived();

  private:
    const qsizetype FLimit;
    mutable QMutex FMutex;
    std::deque<TReceivedDatagram> FItems;
    std::deque<TReceivedDatagram> FUrgent;
    TUrgency FIsUrgent = nullptr;
    qsizetype FBytes = 0;
    qsizetype FPeakBytes = 0;
    quint64 FDropped = 0;
    bool FAnnounced = false;
};
