#include "messages/MessageSender.h"

#include "messages/ScriptSend.h"
#include "messages/SendPlan.h"
#include "net/Datagram.h"

namespace {
const QByteArray kInfoWord("PALAVEROINFO");
const QByteArray kDataKeyword("KVPALAVERODATA:");
} // namespace

TMessageSender::TMessageSender(ISendView& view, TSendServices services, TMessageLog& log,
                               IMessageBoxes& boxes, TMessageState& state)
    : FView(view), FServices(std::move(services)), FLog(log), FBoxes(boxes), FState(state) {}

QByteArray TMessageSender::DataDatagram(const QByteArray& computerName, const QByteArray& text) {
    return computerName + ':' + kDataKeyword + text;
}

void TMessageSender::BitBtnSendClick() {
    FView.focusEditor();

    const QByteArray message = FView.messageText();
    const QByteArray typedRecipient = FView.recipientText();

    if (message == kInfoWord) {
        const QString snippets = FServices.snippetFile ? FServices.snippetFile() : QString();
        FBoxes.show(QStringLiteral("Textbausteine: ") + snippets + QStringLiteral("\r\nLog: ") +
                        FLog.LogFilePath() + QStringLiteral("\r\n"),
                    IMessageBoxes::Icon::Information);
    }

    try {
        FLog.AppendToLog(TMessageLog::SentEntry(typedRecipient, FLog.timestampText(), message));
    } catch (...) {
    }

    const TSendPlan plan = PlanSend(typedRecipient, FServices);
    if (plan.recipient.isEmpty()) {
        FView.setStatusText(NoRecipientText());
        return;
    }

    FState.FLastMessage = message;
    FState.FLastTarget = plan.recipient;

    if (plan.groupUnreachable)
        FBoxes.show(QStringLiteral("Alle Computer der ausgewählten Gruppe sind derzeit nicht erreichbar."));

    const QByteArray datagram = DataDatagram(FServices.computerName, message);
    for (const QByteArray& host : plan.hosts) {
        const bool sent = FServices.sendDatagram && FServices.sendDatagram(host, datagram);
        FView.setStatusText(SendStatusText(sent, datagram.size()));
        if (sent) {
            FView.clearEditor();
            FState.FPendingText.clear();
            FView.hideToTray();
        }
    }
}

QString TMessageSender::SendStatusText(bool sent, qsizetype bytes) {
    return (sent ? QStringLiteral("Nachricht gesendet: ") : QStringLiteral("Nachricht nicht gesendet! ")) +
           QString::number(bytes) + QStringLiteral(" Bytes");
}

QStringList TMessageSender::StatusTexts() {
    return {NoRecipientText(), SendStatusText(true, Datagram::kMaxTextSize), SendStatusText(false, Datagram::kMaxTextSize)};
}

QString TMessageSender::NoRecipientText() {
    return QStringLiteral("Kein Empfänger ausgewählt.");
}

TScriptSendResult TMessageSender::SendFromScript(const QByteArray& recipient, const QByteArray& message) {
    if (!message.isEmpty()) {
        try {
            FLog.AppendToLog(TMessageLog::SentEntry(recipient, FLog.timestampText(), message));
        } catch (...) {
        }
    }
    return SendScripted(recipient, message, FServices);
}

void TMessageSender::BitBtnSendToAllClick() {
    FView.setRecipientText(QByteArray("*"));
}

void TMessageSender::Nachrichterneutsenden1Click() {
    FView.setMessageText(FState.FLastMessage);
    FView.setRecipientText(FState.FLastTarget);
    FView.showWindow();
    FView.focusEditor();
}

void TMessageSender::MemoSendChange() {
    FView.setStatusText(QString());
}
