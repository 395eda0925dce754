#include "messages/MessageSender.h"

#include "core/TextUtil.h"

#include <QList>

namespace {
const QByteArray kInfoWord("PALAVEROINFO");
const QByteArray kDataKeyword("KVPALAVERODATA:");

QByteArray joinLines(const QList<QByteArray>& items) {
    QByteArray out;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0)
            out += "\r\n";
        out += items.at(i);
    }
    return out;
}
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

    // A group entry "<name>" is replaced by the group's member list.
    QByteArray recipient = TextUtil::trim(typedRecipient);
    bool isGroup = false;
    if (recipient.startsWith('<')) {
        isGroup = true;
        try {
            const qsizetype close = recipient.indexOf('>');
            if (close >= 2 && FServices.groupMembers) {
                const QByteArray group = recipient.mid(1, close - 1);
                const std::optional<QByteArray> members = FServices.groupMembers(group);
                if (members) {
                    const QByteArray trimmed = TextUtil::trim(*members);
                    if (!trimmed.isEmpty())
                        recipient = trimmed;
                }
            }
        } catch (...) {
        }
    }

    if (TextUtil::trim(recipient).isEmpty()) {
        FView.setStatusText(QStringLiteral("Kein Empfänger ausgewählt."));
        return;
    }

    FState.FLastMessage = message;
    FState.FLastTarget = recipient;

    QList<QByteArray> names = TextUtil::splitDelimited(recipient);
    QList<QByteArray> destinations = names;

    for (qsizetype i = 0; i < names.size(); ++i) {
        if (!FServices.addressOf)
            break;
        const std::optional<QByteArray> address = FServices.addressOf(names.at(i));
        if (address) {
            const QByteArray trimmed = TextUtil::trim(*address);
            if (!trimmed.isEmpty())
                destinations[i] = trimmed;
        }
    }

    if (isGroup) {
        if (names.size() >= 2) {
            for (qsizetype i = names.size() - 1; i >= 0; --i) {
                const bool listed =
                    FServices.isListedExact && FServices.isListedExact(TextUtil::trim(names.at(i)));
                if (!listed) {
                    names.removeAt(i);
                    destinations.removeAt(i);
                }
            }
        }
        if (TextUtil::trim(joinLines(names)).isEmpty())
            FBoxes.show(
                QStringLiteral("Alle Computer der ausgewählten Gruppe sind derzeit nicht erreichbar."));
    }

    const QByteArray datagram = DataDatagram(FServices.computerName, message);
    const QString bytes = QString::number(datagram.size());
    for (qsizetype i = 0; i < names.size(); ++i) {
        QByteArray host = TextUtil::trim(destinations.at(i));
        if (host.size() < 8)
            host = TextUtil::trim(names.at(i));
        if (host.isEmpty())
            continue;
        const bool sent = FServices.sendDatagram && FServices.sendDatagram(host, datagram);
        if (sent) {
            FView.setStatusText(QStringLiteral("Nachricht gesendet: ") + bytes + QStringLiteral(" Bytes"));
            FView.clearEditor();
            FState.FPendingText.clear();
            FView.hideToTray();
        } else {
            FView.setStatusText(QStringLiteral("Nachricht nicht gesendet! ") + bytes +
                                QStringLiteral(" Bytes"));
        }
    }
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
