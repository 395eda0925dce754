#pragma once

#include "platform/DatagramSocket.h"

#include <memory>
#include <thread>

// A POSIX UDP socket whose reader thread waits in poll() on the socket and an
// eventfd (the stop request), so that it costs nothing while nothing arrives,
// and takes datagrams in batches with recvmmsg().
class TPosixDatagramSocket : public IDatagramSocket {
public:
    // Takes ownership of the bound socket.
    TPosixDatagramSocket(int fd, int maxSize, TDatagramQueue& queue);
    ~TPosixDatagramSocket() override;

    SendResult send(const QByteArray& bytes, const QHostAddress& to, quint16 port) override;
    int receiveBufferSize() const override;

    bool isReading() const { return FThread.joinable(); }

private:
    void read();
    void drainSocket(struct TReadBatch& batch);

    const int FFd;
    const int FMaxSize;
    int FStopFd = -1;
    TDatagramQueue& FQueue;
    std::thread FThread;
};
