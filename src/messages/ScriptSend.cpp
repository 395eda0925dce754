#include "messages/ScriptSend.h"

#include "core/Ansi.h"
#include "messages/SendPlan.h"
#include "net/Datagram.h"
#include "net/HostName.h"

namespace {

TScriptSendResult refused(const QString& reason) {
    return {false, {reason}};
}

} // namespace

TScriptSendResult SendScripted(const QByteArray& recipient, const QByteArray& message,
                               const TSendServices& services) {
    if (message.isEmpty())
        return refused(QStringLiteral("Die Nachricht ist leer."));
    const QByteArray datagram = TMessageSender::DataDatagram(services.computerName, message);
    if (datagram.size() > Datagram::kMaxTextSize)
        return refused(QString::fromUtf16(Datagram::kTooLongText));

    const TSendPlan plan = PlanSend(recipient, services);
    if (plan.recipient.isEmpty())
        return refused(QStringLiteral("Kein Empfänger ausgewählt."));
    if (plan.groupUnreachable)
        return refused(QStringLiteral("Alle Computer der ausgewählten Gruppe sind derzeit nicht erreichbar."));

    TScriptSendResult result;
    for (const QByteArray& host : plan.hosts) {
        if (services.sendDatagram && services.sendDatagram(host, datagram))
            continue;
        const QString reason = HostName::isKnown(host) ? QStringLiteral("kein Netz erreichbar")
                                                       : QStringLiteral("unbekannter Empfänger");
        result.errors << QStringLiteral("Nachricht an %1 nicht gesendet: %2.").arg(Ansi::toUnicode(host), reason);
    }
    result.sent = result.errors.isEmpty() && !plan.hosts.isEmpty();
    if (plan.hosts.isEmpty())
        result.errors << QStringLiteral("Kein Empfänger ausgewählt.");
    return result;
}
