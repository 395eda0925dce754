#include "platform/linux/LocalSocketSingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QLoggingCategory>

#include <unistd.h>

namespace {
Q_LOGGING_CATEGORY(lcInstance, "palavero.platform.instance", QtInfoMsg)

// A request is one short line; anything longer is not ours.
constexpr qsizetype MaxRequestBytes = 64;
} // namespace

TLocalSocketSingleInstance::TLocalSocketSingleInstance(QObject* parent)
    : TLocalSocketSingleInstance(defaultSocketPath(), parent) {}

TLocalSocketSingleInstance::TLocalSocketSingleInstance(const QString& socketPath, QObject* parent)
    : TSingleInstance(parent), FSocketPath(socketPath) {}

TLocalSocketSingleInstance::~TLocalSocketSingleInstance() {
    if (FServer)
        FServer->close(); // removes the socket file
}

QString TLocalSocketSingleInstance::defaultSocketPath(const QString& name) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(name);
    return QDir(QDir::tempPath()).filePath(name + QLatin1Char('-') + QString::number(::getuid()));
}

QByteArray TLocalSocketSingleInstance::showRequestBytes() {
    return QByteArrayLiteral("SHOW\n");
}

TLocalSocketSingleInstance::TProbe TLocalSocketSingleInstance::probe() const {
    QLocalSocket socket;
    socket.connectToServer(FSocketPath);
    if (socket.waitForConnected(TimeoutMs)) {
        socket.disconnectFromServer();
        return TProbe::Answered;
    }
    switch (socket.error()) {
    case QLocalSocket::ServerNotFoundError:
        // No file, or a file that is not a listening socket.
        return QFileInfo::exists(FSocketPath) ? TProbe::Stale : TProbe::Nobody;
    case QLocalSocket::ConnectionRefusedError:
        return TProbe::Stale;
    case QLocalSocket::SocketTimeoutError:
        // Someone holds the socket but is too busy to accept: still an instance.
        return TProbe::Answered;
    default:
        return TProbe::Nobody;
    }
}

bool TLocalSocketSingleInstance::tryBecomePrimary() {
    if (FPrimary)
        return true;
    // In a shared folder (no runtime folder) another user may hold the name:
    // neither believe nor remove that socket; run as by a mutex that cannot be made.
    const QFileInfo existing(FSocketPath);
    if (existing.exists() && existing.ownerId() != ::getuid()) {
        qCDebug(lcInstance) << "the socket belongs to another user:" << FSocketPath;
        FPrimary = true;
        return true;
    }
    // Two starts at the same moment take turns, so that only one of them
    // removes a stale socket and listens. Without the lock it goes on anyway.
    QLockFile turn(FSocketPath + QStringLiteral(".lock"));
    turn.tryLock(TimeoutMs);
    switch (probe()) {
    case TProbe::Answered:
        return false;
    case TProbe::Stale:
        qCDebug(lcInstance) << "removing the socket of an instance that is gone:" << FSocketPath;
        QLocalServer::removeServer(FSocketPath);
        break;
    case TProbe::Nobody:
        break;
    }

    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(FSocketPath)) {
        // Another start may have won the race in between.
        if (server->serverError() == QAbstractSocket::AddressInUseError && probe() == TProbe::Answered) {
            delete server;
            return false;
        }
        // Like a mutex that cannot be created: run anyway.
        qCDebug(lcInstance) << "cannot listen on" << FSocketPath << server->errorString();
        delete server;
        FPrimary = true;
        return true;
    }
    FServer = server;
    connect(FServer, &QLocalServer::newConnection, this, &TLocalSocketSingleInstance::onNewConnection);
    FPrimary = true;
    return true;
}

void TLocalSocketSingleInstance::onNewConnection() {
    while (QLocalSocket* client = FServer->nextPendingConnection()) {
        connect(client, &QLocalSocket::readyRead, this, [this, client] { onClientReadable(client); });
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        if (client->bytesAvailable() > 0)
            onClientReadable(client);
    }
}

void TLocalSocketSingleInstance::onClientReadable(QLocalSocket* client) {
    const QByteArray request = showRequestBytes();
    if (client->bytesAvailable() < request.size())
        return;
    const QByteArray data = client->read(MaxRequestBytes);
    client->disconnectFromServer();
    if (data == request)
        Q_EMIT showRequested();
    else
        qCDebug(lcInstance) << "ignoring an unknown request";
}

bool TLocalSocketSingleInstance::sendShowRequest() {
    QLocalSocket socket;
    socket.connectToServer(FSocketPath);
    if (!socket.waitForConnected(TimeoutMs))
        return false;
    socket.write(showRequestBytes());
    bool written = true;
    while (socket.bytesToWrite() > 0 && written)
        written = socket.waitForBytesWritten(TimeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(TimeoutMs);
    return written;
}
