#pragma once

#include <QByteArray>

#include <memory>

// Output that a thread of its own writes to a file descriptor, so that a reader
// that stops reading (a full pipe) stops neither the program nor its end. At
// most `capacity` bytes wait; a line that does not fit is dropped and counted.
class TOutputQueue {
public:
    TOutputQueue(int fd, qsizetype capacity);
    // Does not wait for the writer: one that is blocked stays so until the
    // process ends; what still waits is dropped.
    ~TOutputQueue();
    TOutputQueue(const TOutputQueue&) = delete;
    TOutputQueue& operator=(const TOutputQueue&) = delete;

    // Queues the bytes; false (and counted) when they do not fit.
    bool push(const QByteArray& bytes);
    // How many pushes were dropped.
    quint64 dropped() const;
    // Waits up to timeoutMs for everything queued to be written; true when it is.
    bool drain(int timeoutMs);

private:
    struct TShared;
    // The writer thread.
    static void writeQueued(const std::shared_ptr<TShared>& shared);

    std::shared_ptr<TShared> FShared;
};
