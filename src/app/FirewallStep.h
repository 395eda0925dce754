#pragma once

class IFirewall;
class IMessageBoxes;

// Once at start: probe the firewall's list of allowed programs and add the
// program when the probe fails. A failure the firewall reports on the way, and
// an error raised by either routine, is shown; start-up goes on.
class TFirewallStep {
public:
    static void run(IFirewall& firewall, IMessageBoxes& boxes);
};
