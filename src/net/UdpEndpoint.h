#pragma once

#include "platform/DatagramQueue.h"
#include "platform/DatagramSocket.h"
#include "platform/IpAddress.h"
#include "platform/MessageBoxes.h"
#include "platform/NetworkInfo.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>

// The program's one UDP port: receives on IPv4 (and IPv6 where the system has
// it), sends through the IPv4 socket, by unicast or by broadcast to every local
// network. A reader per socket moves datagrams into a queue in user space as
// they arrive (bounded by memory; what overflows is counted and logged to
// palavero.net); they reach datagramReceived() on the GUI thread one at a time
// in arrival order, also when a receiver lets pending events run.
class TUdpEndpoint : public QObject {
    Q_OBJECT
  public:
    static constexpr quint16 kDefaultPort = 3030;

    TUdpEndpoint(INetworkInfo& net, IMessageBoxes& boxes, QObject* parent = nullptr);
    ~TUdpEndpoint() override;

    // The configured settings: this port and the read handler on. Until then the
    // form defaults hold: port 3030 and no read handler (datagrams dropped unseen).
    void configure(quint16 port);
    bool isConfigured() const { return FReadHandler; }

    // Binds the port without sharing it. False when a binding fails; a system
    // without IPv6 works on IPv4 alone.
    bool open();
    void close();
    bool isOpen() const;
    quint16 port() const { return FPort; }

    // Sends text (Windows-1252) to a dotted IPv4 address or a computer name, or
    // by broadcast for "*". Opens a closed endpoint first. A text longer than
    // 8 092 bytes is refused with a message; other failures return false silently.
    bool SendDatagram(const QByteArray& host, const QByteArray& text);
    // Whether the latest failed send failed only because no network was reachable.
    bool lastSendUnreachable() const { return FLastSendUnreachable; }
    INetworkInfo& networkInfo() const { return FNet; }

    // The sender address of the latest datagram handed on (FSenderIP).
    QByteArray senderIP() const { return FSenderIP; }

    // The port every datagram is sent to: the program's port, which holds also
    // while the endpoint still runs on its defaults. The local port unless set.
    void setDestinationPort(quint16 port) { FDestinationPort = port; }
    quint16 destinationPort() const { return FDestinationPort ? FDestinationPort : FPort; }

    // The kernel receive buffer of the IPv4 socket in bytes (0 when closed).
    int receiveBufferSize() const;
    // What is logged once (palavero.net) when the kernel grants the receive
    // socket less buffer than asked: the sizes and the sysctl line that raises
    // the limit. Empty when it granted enough.
    static QString SmallReceiveBufferNote(int granted, int asked);
    // Datagrams that waited for the GUI thread, and those dropped because the
    // queue was full (since the endpoint was made).
    const TDatagramQueue& queue() const { return FQueue; }
    // Datagrams are flooding in: a backlog of at least kFloodBacklog waits for the GUI thread.
    bool isFlooded() const { return FQueue.size() >= kFloodBacklog; }
    static constexpr qsizetype kFloodBacklog = 100;

    // The directed broadcast address of each local network, sorted as text, each
    // once; 255.255.255.255 when there is no address. /31 and /32 networks have no
    // directed broadcast address and use 255.255.255.255 as well.
    static QStringList BroadcastAddresses(const QList<TInterfaceAddress>& local);
    // The local IPv4 addresses as dotted text, each once.
    static QStringList LocalAddresses(const QList<TInterfaceAddress>& local);

  Q_SIGNALS:
    // A datagram from another computer, as Windows-1252 text; senderIP() is set.
    void datagramReceived(const QByteArray& text);

  private:
    std::unique_ptr<IDatagramSocket> bindSocket(TIpAddress::Family family, TBindFailure* failure = nullptr);
    bool sendTo(IDatagramSocket& socket, const QByteArray& wire, const TIpAddress& to);
    void drain();
    // Logs the datagrams dropped since the last report; in a long run at most once a second.
    void reportDropped(bool inRun = false);
    void MyIdUDPServer1UDPRead(const QByteArray& bytes, const TIpAddress& sender);
    // The program's own datagrams, and datagrams whose source no computer can
    // have (a network or broadcast address of a local network, 0.0.0.0,
    // multicast), are dropped.
    bool dropsSender(const TIpAddress& sender);
    void noteLocal(const QList<TInterfaceAddress>& local);
    // Where a broadcast goes: the interfaces are looked at afresh, except while
    // received datagrams are handled, where answers share one look a second.
    const QList<TIpAddress>& broadcastTargets();
    bool resolve(const QByteArray& host, TIpAddress& address) const;

    INetworkInfo& FNet;
    IMessageBoxes& FBoxes;
    quint16 FPort = kDefaultPort;
    quint16 FDestinationPort = 0;
    bool FReadHandler = false;
    bool FBufferNoted = false; // the note on a small receive buffer is logged once
    TDatagramQueue FQueue;
    std::unique_ptr<IDatagramSocket> FSocket4;
    std::unique_ptr<IDatagramSocket> FSocket6;
    bool FDraining = false;
    int FDrainLevel = 0; // the event-loop level of the innermost drain running
    // While a datagram is handled: looks for datagrams from inside a modal loop.
    static constexpr int kModalPollMs = 50;
    QTimer FModalPoll;
    quint64 FReportedDrops = 0;
    QElapsedTimer FSinceDropReport;
    QByteArray FSenderIP;
    TIpAddress FSenderAddress; // the address FSenderIP was made from
    bool FLastSendUnreachable = false;
    // The local addresses for the own-datagram filter and the network and
    // broadcast addresses of the local networks, fetched at most once per second
    // while datagrams stream in.
    QList<TIpAddress> FBroadcastTargets;
    QList<quint32> FOwnAddresses;
    QList<quint32> FNetworkEdges;
    QElapsedTimer FLocalCacheAge;
    bool FLocalRefreshQueued = false;
};
