#include "platform/DatagramQueue.h"

#include <QMutexLocker>

namespace {
qsizetype cost(const TReceivedDatagram& datagram) {
    return datagram.bytes.size() + TDatagramQueue::kOverhead;
}
} // namespace

TDatagramQueue::TDatagramQueue(qsizetype limitBytes, QObject* parent) : QObject(parent), FLimit(limitBytes) {}

void TDatagramQueue::append(std::vector<TReceivedDatagram>& batch) {
    bool announce = false;
    {
        QMutexLocker lock(&FMutex);
        for (TReceivedDatagram& datagram : batch) {
            const qsizetype c = cost(datagram);
            if (FBytes + c > FLimit) {
                ++FDropped;
                continue;
            }
            FBytes += c;
            FItems.push_back(std::move(datagram));
        }
        if (!FAnnounced && !FItems.empty())
            announce = FAnnounced = true;
    }
    batch.clear();
    if (announce)
        Q_EMIT arrived();
}

bool TDatagramQueue::take(TReceivedDatagram& out) {
    QMutexLocker lock(&FMutex);
    if (FItems.empty()) {
        FAnnounced = false;
        return false;
    }
    out = std::move(FItems.front());
    FItems.pop_front();
    FBytes -= cost(out);
    return true;
}

void TDatagramQueue::clear() {
    QMutexLocker lock(&FMutex);
    FItems.clear();
    FBytes = 0;
    FAnnounced = false;
}

qsizetype TDatagramQueue::size() const {
    QMutexLocker lock(&FMutex);
    return qsizetype(FItems.size());
}

qsizetype TDatagramQueue::bytes() const {
    QMutexLocker lock(&FMutex);
    return FBytes;
}

quint64 TDatagramQueue::dropped() const {
    QMutexLocker lock(&FMutex);
    return FDropped;
}
