// libFuzzer entry point for the datagram dispatch.
//
// Whatever the bytes (as the endpoint hands them on), the dispatch must
// not crash, must report exactly one status text, must pass the datagram on at
// most once, and what it passes on must put the datagram back together.

#include "common/FuzzCheck.h"
#include "net/Datagram.h"
#include "net/DatagramHandler.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    TDatagramHandler handler;
    handler.setClock([] { return QDateTime(QDate(2014, 11, 24), QTime(9, 15, 2)); });
    int statuses = 0;
    int passedOn = 0;
    QByteArray rebuilt;
    QObject::connect(&handler, &TDatagramHandler::statusText, [&](const QString& s) {
        ++statuses;
        check(s.startsWith(QString::number(text.size()) + QLatin1String(" Bytes empfangen ")));
    });
    const auto presence = [&](const char* keyword) {
        return [&, keyword](const QByteArray& sender) {
            ++passedOn;
            check(!sender.isEmpty() && !sender.contains(':'));
            rebuilt = Datagram::build(sender, keyword);
            check(text.startsWith(rebuilt));
        };
    };
    QObject::connect(&handler, &TDatagramHandler::connectReceived, presence(Datagram::kConnect));
    QObject::connect(&handler, &TDatagramHandler::disconnectReceived, presence(Datagram::kDisconnect));
    QObject::connect(&handler, &TDatagramHandler::refreshReceived, presence(Datagram::kRefresh));
    QObject::connect(&handler, &TDatagramHandler::groupsReceived, [&](const QByteArray& payload) {
        ++passedOn;
        check(!payload.isEmpty());
        check(text.endsWith(QByteArray(Datagram::kGroups) + payload));
        check(handler.senderName() + ':' + Datagram::kGroups + payload == text);
    });
    QObject::connect(&handler, &TDatagramHandler::dataReceived, [&](const QByteArray& payload, const QByteArray& sender) {
        ++passedOn;
        check(!payload.isEmpty() && !sender.isEmpty());
        check(Datagram::build(sender, Datagram::kData, payload) == text);
    });

    handler.HandleDatagram(text);
    check(statuses == 1);
    check(passedOn <= 1);
    const qsizetype colon = text.indexOf(':');
    check(handler.senderName() == (colon > 0 ? text.left(colon) : QByteArray()));
    if (colon <= 0)
        check(passedOn == 0);

    handler.setClosing(true);
    handler.HandleDatagram(text);
    check(statuses == 1 && passedOn <= 1);
    return 0;
}
