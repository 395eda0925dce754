#include "platform/linux/LocalSocketSingleInstance.h"

#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QLoggingCategory>
#include <QPointer>
#include <QtEndian>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace {
Q_LOGGING_CATEGORY(lcInstance, "palavero.platform.instance", QtInfoMsg)

// A show request is one short line; anything longer is not ours.
constexpr qsizetype MaxRequestBytes = 64;
const QByteArray kSendTag = QByteArrayLiteral("SEND\n");
} // namespace

TLocalSocketSingleInstance::TLocalSocketSingleInstance(QObject* parent)
    : TLocalSocketSingleInstance(defaultSocketPath(), parent) {}

TLocalSocketSingleInstance::TLocalSocketSingleInstance(const QString& socketPath, QObject* parent)
    : TSingleInstance(parent), FSocketPath(socketPath) {}

TLocalSocketSingleInstance::~TLocalSocketSingleInstance() {
    if (FServer)
        FServer->close(); // removes the socket file
}

namespace {

// A folder of this user that nobody else can enter: made with mode 0700 when
// missing; one of ours with a looser mode is tightened. False when the name is
// taken by something else (another user's folder, a link, a file).
bool makePrivateFolder(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    if ((st.st_mode & 0077) != 0 && ::chmod(native.constData(), 0700) != 0)
        return false;
    return true;
}

} // namespace

QString TLocalSocketSingleInstance::defaultSocketPath(const QString& name) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir())
        return QDir(runtime).filePath(name);
    // Without a runtime folder: a private folder of the user's own in the
    // temporary folder, or, when another user has taken that name, in the home.
    const QString uid = QString::number(::getuid());
    const QString temp = QDir(QDir::tempPath()).filePath(QStringLiteral("palavero-") + uid);
    if (makePrivateFolder(temp))
        return QDir(temp).filePath(name);
    const QString cache = QDir::home().filePath(QStringLiteral(".cache"));
    QDir().mkpath(cache);
    const QString home = QDir(cache).filePath(QStringLiteral("palavero-") + uid);
    makePrivateFolder(home);
    return QDir(home).filePath(name);
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
    // The folder is the user's own: anything at the name that is not a socket
    // of the user's (a folder, a file, a link, another user's socket) is in the
    // way and is removed, so that the next start finds this instance.
    struct stat st {};
    const QByteArray native = QFile::encodeName(FSocketPath);
    if (::lstat(native.constData(), &st) == 0 && (!S_ISSOCK(st.st_mode) || st.st_uid != ::getuid())) {
        qCDebug(lcInstance) << "removing what is in the way of the socket:" << FSocketPath;
        if (S_ISDIR(st.st_mode))
            ::rmdir(native.constData());
        else
            ::unlink(native.constData());
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
    if (client->peek(kSendTag.size()) == kSendTag) {
        answerSendRequest(client);
        return;
    }
    const QByteArray data = client->read(MaxRequestBytes);
    client->disconnectFromServer();
    if (data == request)
        Q_EMIT showRequested();
    else
        qCDebug(lcInstance) << "ignoring an unknown request";
}

void TLocalSocketSingleInstance::answerSendRequest(QLocalSocket* client) {
    const qsizetype header = kSendTag.size() + 8;
    if (client->bytesAvailable() < header)
        return;
    const QByteArray head = client->peek(header);
    const quint32 recipientSize = qFromBigEndian<quint32>(head.constData() + kSendTag.size());
    const quint32 textSize = qFromBigEndian<quint32>(head.constData() + kSendTag.size() + 4);
    if (recipientSize > MaxRecipientBytes || textSize > MaxTextBytes) {
        qCDebug(lcInstance) << "ignoring an oversized request";
        client->abort();
        return;
    }
    if (client->bytesAvailable() < header + qint64(recipientSize) + qint64(textSize))
        return;
    client->skip(header);
    const QByteArray recipient = client->read(recipientSize);
    const QByteArray text = client->read(textSize);
    // Sending lets events run; the client may be gone when it returns.
    const QPointer<QLocalSocket> guard(client);
    const TMessageReply reply = handleMessage(recipient, text);
    if (!guard)
        return;
    client->write(reply.sent ? QByteArrayLiteral("OK\n") : QByteArrayLiteral("ERR\n") + reply.error.toUtf8());
    client->disconnectFromServer(); // after the answer has been written
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

QByteArray TLocalSocketSingleInstance::sendRequestBytes(const QByteArray& recipient, const QByteArray& text) {
    QByteArray bytes = kSendTag;
    char sizes[8];
    qToBigEndian<quint32>(quint32(recipient.size()), sizes);
    qToBigEndian<quint32>(quint32(text.size()), sizes + 4);
    bytes.append(sizes, sizeof sizes);
    return bytes + recipient + text;
}

bool TLocalSocketSingleInstance::otherInstanceRuns() const {
    return !FPrimary && probe() == TProbe::Answered;
}

std::optional<TSingleInstance::TMessageReply>
TLocalSocketSingleInstance::handOverMessage(const QByteArray& recipient, const QByteArray& text) {
    if (recipient.size() > qsizetype(MaxRecipientBytes) || text.size() > qsizetype(MaxTextBytes))
        return TMessageReply{false, QStringLiteral("Text der Nachricht ist zu lang, bitte kürzen!")};
    QLocalSocket socket;
    socket.connectToServer(FSocketPath);
    if (!socket.waitForConnected(TimeoutMs))
        return std::nullopt;
    socket.write(sendRequestBytes(recipient, text));
    QByteArray answer;
    while (socket.state() == QLocalSocket::ConnectedState && socket.waitForReadyRead(ReplyTimeoutMs))
        answer += socket.readAll();
    answer += socket.readAll();
    if (answer == "OK\n")
        return TMessageReply{true, QString()};
    if (answer.startsWith("ERR\n"))
        return TMessageReply{false, QString::fromUtf8(answer.mid(4))};
    return TMessageReply{false, QStringLiteral("Die laufende Palavero-Instanz hat nicht geantwortet.")};
}
