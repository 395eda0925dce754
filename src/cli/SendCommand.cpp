#include "cli/SendCommand.h"
#include "net/Datagram.h"

#include "app/CommandLine.h"
#include "app/DataDirectory.h"
#include "cli/ScriptText.h"
#include "core/Ansi.h"
#include "groups/GroupOps.h"
#include "messages/ScriptSend.h"
#include "net/UdpEndpoint.h"
#include "platform/MessageBoxes.h"
#include "platform/SingleInstance.h"
#include "platform/SystemInfo.h"

TSendCommand::TSendCommand(const ISystemInfo& system, INetworkInfo& network, TSingleInstance& instance,
                           IMessageBoxes& boxes)
    : FSystem(system), FNetwork(network), FInstance(instance), FBoxes(boxes) {}

int TSendCommand::run(const TCommandLine& commandLine, const std::function<std::optional<QByteArray>()>& readInput) {
    const QByteArray recipient = Ansi::fromUnicode(commandLine.recipient);
    QByteArray text;
    if (commandLine.text) {
        text = ScriptText::fromArgument(*commandLine.text);
    } else if (readInput) {
        const std::optional<QByteArray> input = readInput();
        if (!input) {
            FBoxes.show(QString::fromUtf16(Datagram::kTooLongText), IMessageBoxes::Icon::Error);
            return 1;
        }
        text = ScriptText::fromInput(*input);
    }

    if (const auto reply = FInstance.handOverMessage(recipient, text)) {
        if (!reply->sent)
            FBoxes.show(reply->error, IMessageBoxes::Icon::Error);
        return reply->sent ? 0 : 1;
    }
    return sendDirectly(recipient, text, commandLine.udpPort());
}

int TSendCommand::sendDirectly(const QByteArray& recipient, const QByteArray& text, quint16 port) {
    TUdpEndpoint endpoint(FNetwork, FBoxes);
    endpoint.configure(0);
    endpoint.setDestinationPort(port);

    const QString groupsFile = TDataDirectory::pathFor(FSystem.dataRoot()) + QStringLiteral("/PalaveroGroups.ini");
    TSendServices services;
    services.computerName = Ansi::fromUnicode(FSystem.computerName());
    services.groupMembers = [groupsFile](const QByteArray& group) { return groupMembersText(groupsFile, group); };
    services.sendDatagram = [&endpoint](const QByteArray& host, const QByteArray& datagram) {
        return endpoint.SendDatagram(host, datagram);
    };
    const TScriptSendResult result = SendScripted(recipient, text, services);
    for (const QString& error : result.errors)
        FBoxes.show(error, IMessageBoxes::Icon::Error);
    return result.sent ? 0 : 1;
}
