#include "app/FirewallStep.h"

#include "platform/Firewall.h"
#include "platform/MessageBoxes.h"

#include <QString>

void TFirewallStep::run(IFirewall& firewall, IMessageBoxes& boxes) {
    firewall.setMessageReport([&boxes](const QString& text) { boxes.show(text); });
    try {
        if (firewall.probeException() != IFirewall::kOk)
            firewall.addException();
    } catch (...) {
        boxes.show(QStringLiteral("Probleme mit Lesen oder Setzen der Firewalleinstellungen."),
                   IMessageBoxes::Icon::Error);
    }
    firewall.setMessageReport({});
}
