#pragma once

#include <QByteArray>

#include <functional>
#include <optional>

class IMessageBoxes;
class INetworkInfo;
class ISystemInfo;
class TSingleInstance;
struct TCommandLine;

// palavero --send: hands the message to the instance that runs for this user,
// or, when none runs, sends it directly: from a port of the system's choosing
// (the program's port stays free for an instance), to the program's port,
// names resolved by the system, groups read from the group file. It never
// announces this computer nor withdraws it. Failures are shown as German lines
// through `boxes`.
class TSendCommand {
public:
    TSendCommand(const ISystemInfo& system, INetworkInfo& network, TSingleInstance& instance, IMessageBoxes& boxes);

    // Reads standard input when the command line gives no text (nullopt: more
    // than a message can hold, refused as too long). Returns the exit status:
    // 0 sent, 1 not sent.
    int run(const TCommandLine& commandLine, const std::function<std::optional<QByteArray>()>& readInput);

private:
    int sendDirectly(const QByteArray& recipient, const QByteArray& text, quint16 port);

    const ISystemInfo& FSystem;
    INetworkInfo& FNetwork;
    TSingleInstance& FInstance;
    IMessageBoxes& FBoxes;
};
