#include "platform/linux/LocalSocketSingleInstance.h"

#include "platform/linux/UnixSocket.h"

#include <QDir>
#include <QFileInfo>
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
// The tag and the two lengths of a handed-over message.
constexpr qsizetype kSendHeaderBytes = 5 + 8;
// The most a client may send: the largest handed-over message.
constexpr qsizetype kLargestRequestBytes = kSendHeaderBytes + TLocalSocketSingleInstance::MaxRecipientBytes +
                                           TLocalSocketSingleInstance::MaxTextBytes;
// The most an answer may hold: the reasons of a message that was not sent.
constexpr qsizetype kLargestAnswerBytes = 1024 * 1024;
const QString kNoAnswer = QStringLiteral("Die laufende Palavero-Instanz hat nicht geantwortet.");
} // namespace

TLocalSocketSingleInstance::TLocalSocketSingleInstance(QObject* parent)
    : TLocalSocketSingleInstance(defaultSocketPath(), parent) {}

TLocalSocketSingleInstance::TLocalSocketSingleInstance(const QString& socketPath, QObject* parent)
    : TSingleInstance(parent), FSocketPath(socketPath) {}

TLocalSocketSingleInstance::~TLocalSocketSingleInstance() {
    delete FServer; // removes the socket file
}

namespace {

// Whether the folder is this user's own (a folder, not a link) and nobody else
// may create, rename or remove entries in it.
bool isOwnUnsharedFolder(const QString& path) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// A folder of this user that nobody else can enter: made with mode 0700 when
// missing; one of ours with a looser mode is tightened. False when the name is
// taken by something else (another user's folder, a link, a file).
bool makePrivateFolder(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return false;
    if ((st.st_mode & 0077) != 0 && ::chmod(native.constData(), 0700) != 0)
        return false;
    return true;
}

} // namespace

QString TLocalSocketSingleInstance::defaultSocketPath(const QString& name) {
    // The runtime folder counts only when no other user can put a socket of
    // theirs under the name (a shared folder such as one of mode 1777 does not).
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isOwnUnsharedFolder(runtime))
        return QDir(runtime).filePath(name);
    if (!runtime.isEmpty())
        qCDebug(lcInstance) << "not using a runtime folder that is not the user's alone:" << runtime;
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
    TUnixClient client;
    switch (client.connectTo(FSocketPath, TimeoutMs)) {
    case TUnixClient::TConnect::Connected:
        return TProbe::Answered;
    case TUnixClient::TConnect::NotFound:
        return QFileInfo::exists(FSocketPath) ? TProbe::Stale : TProbe::Nobody;
    case TUnixClient::TConnect::Refused:
        // A file that nobody listens on.
        return TProbe::Stale;
    case TUnixClient::TConnect::TimedOut:
        // Someone holds the socket but is too busy to accept: still an instance.
        return TProbe::Answered;
    case TUnixClient::TConnect::Foreign:
        // Not ours: no instance of this user, and in the way of one.
        return TProbe::Stale;
    case TUnixClient::TConnect::Failed:
        break;
    }
    return TProbe::Nobody;
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
        QFile::remove(FSocketPath);
        break;
    case TProbe::Nobody:
        break;
    }

    auto* server = new TUnixServer(kLargestRequestBytes, TimeoutMs, MaxConnections, this);
    const TUnixServer::TListen listening = server->listen(FSocketPath);
    if (listening != TUnixServer::TListen::Listening) {
        // Another start may have won the race in between.
        if (listening == TUnixServer::TListen::AddressInUse && probe() == TProbe::Answered) {
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
    connect(FServer, &TUnixServer::newConnection, this, [this](TUnixConnection* client) {
        connect(client, &TUnixConnection::readyRead, this, [this, client] { onClientReadable(client); });
    });
    FPrimary = true;
    return true;
}

void TLocalSocketSingleInstance::onClientReadable(TUnixConnection* client) {
    const QByteArray request = showRequestBytes();
    if (client->received().size() < request.size())
        return;
    if (client->received().startsWith(kSendTag)) {
        answerSendRequest(client);
        return;
    }
    const QByteArray data = client->take(MaxRequestBytes);
    client->abort();
    if (data == request)
        Q_EMIT showRequested();
    else
        qCDebug(lcInstance) << "ignoring an unknown request";
}

void TLocalSocketSingleInstance::answerSendRequest(TUnixConnection* client) {
    const QByteArray& received = client->received();
    if (received.size() < kSendHeaderBytes)
        return;
    const quint32 recipientSize = qFromBigEndian<quint32>(received.constData() + kSendTag.size());
    const quint32 textSize = qFromBigEndian<quint32>(received.constData() + kSendTag.size() + 4);
    if (recipientSize > MaxRecipientBytes || textSize > MaxTextBytes) {
        qCDebug(lcInstance) << "ignoring an oversized request";
        client->abort();
        return;
    }
    if (received.size() < kSendHeaderBytes + qsizetype(recipientSize) + qsizetype(textSize))
        return;
    client->stopReading();
    client->take(kSendHeaderBytes);
    const QByteArray recipient = client->take(recipientSize);
    const QByteArray text = client->take(textSize);
    // Sending lets events run; the client may be gone when it returns.
    const QPointer<TUnixConnection> guard(client);
    const TMessageReply reply = handleMessage(recipient, text);
    if (!guard)
        return;
    client->writeAndClose(reply.sent ? QByteArrayLiteral("OK\n") : QByteArrayLiteral("ERR\n") + reply.error.toUtf8());
}

bool TLocalSocketSingleInstance::sendShowRequest() {
    TUnixClient client;
    return client.connectTo(FSocketPath, TimeoutMs) == TUnixClient::TConnect::Connected &&
           client.write(showRequestBytes(), TimeoutMs);
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
    TUnixClient client;
    if (client.connectTo(FSocketPath, TimeoutMs) != TUnixClient::TConnect::Connected)
        return std::nullopt;
    // An instance that closes early, answers with anything else or not at all
    // has not taken the message.
    QByteArray answer;
    if (!client.write(sendRequestBytes(recipient, text), TimeoutMs))
        return TMessageReply{false, kNoAnswer};
    client.readToEnd(answer, ReplyTimeoutMs, kLargestAnswerBytes);
    if (answer == "OK\n")
        return TMessageReply{true, QString()};
    if (answer.startsWith("ERR\n") && answer.size() <= kLargestAnswerBytes)
        return TMessageReply{false, QString::fromUtf8(answer.mid(4))};
    return TMessageReply{false, kNoAnswer};
}
