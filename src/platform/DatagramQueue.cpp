#include "platform/DatagramQueue.h"

#include <QMutexLocker>

#include <algorithm>
#include <utility>

namespace {
qsizetype cost(const TReceivedDatagram& datagram) {
    return datagram.bytes.size() + TDatagramQueue::kOverhead;
}
} // namespace

TDatagramQueue::TDatagramQueue(qsizetype limitBytes, QObject* parent) : QObject(parent), FLimit(limitBytes) {}

void TDatagramQueue::setUrgency(TUrgency urgent) {
    QMutexLocker lock(&FMutex);
    FIsUrgent = urgent;
}

void TDatagramQueue::append(std::vector<TReceivedDatagram>& batch) {
    bool announce = false;
    {
        QMutexLocker lock(&FMutex);
        for (TReceivedDatagram& datagram : batch) {
            const qsizetype c = cost(datagram);
            const bool urgent = FIsUrgent && FIsUrgent(datagram.bytes);
            // An urgent datagram makes room by dropping the newest others.
            while (urgent && FBytes + c > FLimit && !FItems.empty()) {
                FBytes -= cost(FItems.back());
                FItems.pop_back();
                ++FDropped;
            }
            if (FBytes + c > FLimit) {
                ++FDropped;
                continue;
            }
            FBytes += c;
            (urgent ? FUrgent : FItems).push_back(std::move(datagram));
        }
        FPeakBytes = std::max(FPeakBytes, FBytes);
        if (!FAnnounced && !(FItems.empty() && FUrgent.empty()))
            announce = FAnnounced = true;
    }
    batch.clear();
    if (announce)
        Q_EMIT arrived();
}

bool TDatagramQueue::take(TReceivedDatagram& out) {
    QMutexLocker lock(&FMutex);
    std::deque<TReceivedDatagram>& items = FUrgent.empty() ? FItems : FUrgent;
    if (items.empty()) {
        FAnnounced = false;
        return false;
    }
    out = std::move(items.front());
    items.pop_front();
    FBytes -= cost(out);
    return true;
}

qsizetype TDatagramQueue::takePeakBytes() {
    QMutexLocker lock(&FMutex);
    return std::exchange(FPeakBytes, FBytes);
}

void TDatagramQueue::clear() {
    QMutexLocker lock(&FMutex);
    FItems.clear();
    FUrgent.clear();
    FBytes = 0;
    FAnnounced = false;
}

qsizetype TDatagramQueue::size() const {
    QMutexLocker lock(&FMutex);
    return qsizetype(FItems.size() + FUrgent.size());
}

qsizetype TDatagramQueue::bytes() const {
    QMutexLocker lock(&FMutex);
    return FBytes;
}

quint64 TDatagramQueue::dropped() const {
    QMutexLocker lock(&FMutex);
    return FDropped;
}
