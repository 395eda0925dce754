#pragma once

#include "platform/DatagramSocket.h"

#include <memory>
#include <mutex>
#include <thread>

// A Winsock UDP socket whose reader thread waits on two events, one that the
// socket sets when datagrams wait (WSAEventSelect) and one for the stop
// request, so that it costs nothing while nothing arrives, and moves the
// datagrams into the queue in batches.
class TWinsockDatagramSocket : public IDatagramSocket {
public:
    // Takes ownership of the bound socket (a SOCKET).
    TWinsockDatagramSocket(quintptr socket, int maxSize, TDatagramQueue& queue);
    ~TWinsockDatagramSocket() override;

    SendResult send(const QByteArray& bytes, const TIpAddress& to, quint16 port) override;
    int receiveBufferSize() const override;
    void takeWaiting() override;

    bool isReading() const { return FThread.joinable(); }

private:
    void read();
    // Takes one batch from the socket into the queue; false when there was no full batch.
    bool takeBatch(struct TReadBatch& batch);

    const quintptr FSocket;
    const int FMaxSize;
    void* FReadable = nullptr; // the socket's event
    void* FStop = nullptr;
    TDatagramQueue& FQueue;
    std::thread FThread;
    // Held while a batch goes from the socket into the queue, so that the
    // reader and takeWaiting() keep the order of arrival.
    std::mutex FTaking;
    std::unique_ptr<struct TReadBatch> FHelperBatch; // takeWaiting()'s, made at its first use
};
