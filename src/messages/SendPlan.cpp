#include "messages/SendPlan.h"

#include "core/TextUtil.h"

namespace {

QByteArray joinLines(const QList<QByteArray>& items) {
    QByteArray out;
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0)
            out += "\r\n";
        out += items.at(i);
    }
    return out;
}

// A group entry "<name>" becomes the group's member list when the group has members.
QByteArray resolveGroup(const QByteArray& recipient, const TSendServices& services) {
    try {
        const qsizetype close = recipient.indexOf('>');
        if (close < 2 || !services.groupMembers)
            return recipient;
        const std::optional<QByteArray> members = services.groupMembers(recipient.mid(1, close - 1));
        if (members) {
            const QByteArray trimmed = TextUtil::trim(*members);
            if (!trimmed.isEmpty())
                return trimmed;
        }
    } catch (...) {
    }
    return recipient;
}

} // namespace

TSendPlan PlanSend(const QByteArray& typedRecipient, const TSendServices& services) {
    TSendPlan plan;
    QByteArray recipient = TextUtil::trim(typedRecipient);
    if (recipient.startsWith('<')) {
        plan.isGroup = true;
        recipient = resolveGroup(recipient, services);
    }
    if (TextUtil::trim(recipient).isEmpty())
        return plan;
    plan.recipient = recipient;

    QList<QByteArray> names = TextUtil::splitDelimited(recipient);
    QList<QByteArray> destinations = names;
    for (qsizetype i = 0; i < names.size() && services.addressOf; ++i) {
        const std::optional<QByteArray> address = services.addressOf(names.at(i));
        if (address) {
            const QByteArray trimmed = TextUtil::trim(*address);
            if (!trimmed.isEmpty())
                destinations[i] = trimmed;
        }
    }

    if (plan.isGroup) {
        if (names.size() >= 2 && services.isListedExact) {
            for (qsizetype i = names.size() - 1; i >= 0; --i) {
                if (!services.isListedExact(TextUtil::trim(names.at(i)))) {
                    names.removeAt(i);
                    destinations.removeAt(i);
                }
            }
        }
        plan.groupUnreachable = TextUtil::trim(joinLines(names)).isEmpty();
    }

    for (qsizetype i = 0; i < names.size(); ++i) {
        // A short address (such as 1.2.3.4) gives way to the name, which is resolved.
        QByteArray host = TextUtil::trim(destinations.at(i));
        if (host.size() < 8)
            host = TextUtil::trim(names.at(i));
        if (!host.isEmpty())
            plan.hosts << host;
    }
    return plan;
}
