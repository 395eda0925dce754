#pragma once

#include "platform/DatagramSocket.h"

#include <memory>
#include <mutex>
#include <thread>

// A POSIX UDP socket whose reader thread waits in poll() on the socket and an
// eventfd (the stop request), so that it costs nothing while nothing arrives,
// and takes datagrams in batches with recvmmsg().
class TPosixDatagramSocket : public IDatagramSocket {
public:
    // Takes ownership of the bound socket.
    TPosixDatagramSocket(int fd, int maxSize, TDatagramQueue& queue);
    ~TPosixDatagramSocket() override;

    SendResult send(const QByteArray& bytes, const TIpAddress& to, quint16 port) override;
    int receiveBufferSize() const override;
    void takeWaiting() override;

    bool isReading() const { return FThread.joinable(); }

private:
    void read();
    void drainSocket(struct TReadBatch& batch);
    // Takes one batch from the socket into the queue; false when there was no full batch.
    bool takeBatch(struct TReadBatch& batch);

    const int FFd;
    const int FMaxSize;
    int FStopFd = -1;
    TDatagramQueue& FQueue;
    std::thread FThread;
    // Held while a batch goes from the socket into the queue, so that the
    // reader and takeWaiting() keep the order of arrival.
    std::mutex FTaking;
    std::unique_ptr<struct TReadBatch> FHelperBatch; // takeWaiting()'s, made at its first use
};
