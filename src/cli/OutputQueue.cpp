#include "cli/OutputQueue.h"

#include <QFile>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

struct TOutputQueue::TShared {
    const int fd;
    const qsizetype capacity;
    std::mutex mutex;
    std::condition_variable queued;  // to the writer: more to write, or the end
    std::condition_variable written; // to drain(): the queue shrank
    std::deque<QByteArray> waiting;  // the front one is being written
    qsizetype bytes = 0;
    quint64 dropped = 0;
    bool ending = false;
};

void TOutputQueue::writeQueued(const std::shared_ptr<TShared>& shared) {
    // Unbuffered: every line goes straight to the system, nothing waits in a
    // buffer that the end of the process would flush (and block on).
    QFile out;
    out.open(shared->fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::DontCloseHandle);
    std::unique_lock lock(shared->mutex);
    for (;;) {
        shared->queued.wait(lock, [&] { return !shared->waiting.empty() || shared->ending; });
        if (shared->ending)
            return;
        const QByteArray bytes = shared->waiting.front();
        lock.unlock();
        out.write(bytes); // a failure drops the line
        lock.lock();
        shared->waiting.pop_front();
        shared->bytes -= bytes.size();
        shared->written.notify_all();
    }
}

TOutputQueue::TOutputQueue(int fd, qsizetype capacity) : FShared(std::make_shared<TShared>(fd, capacity)) {
    std::thread(writeQueued, FShared).detach();
}

TOutputQueue::~TOutputQueue() {
    const std::lock_guard lock(FShared->mutex);
    FShared->ending = true;
    FShared->queued.notify_all();
}

bool TOutputQueue::push(const QByteArray& bytes) {
    const std::lock_guard lock(FShared->mutex);
    if (FShared->bytes + bytes.size() > FShared->capacity) {
        ++FShared->dropped;
        return false;
    }
    FShared->waiting.push_back(bytes);
    FShared->bytes += bytes.size();
    FShared->queued.notify_all();
    return true;
}

quint64 TOutputQueue::dropped() const {
    const std::lock_guard lock(FShared->mutex);
    return FShared->dropped;
}

bool TOutputQueue::drain(int timeoutMs) {
    std::unique_lock lock(FShared->mutex);
    return FShared->written.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                     [this] { return FShared->waiting.empty(); });
}
