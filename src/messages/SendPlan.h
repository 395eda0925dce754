#pragma once

#include "messages/MessageSender.h"

#include <QByteArray>
#include <QList>

// Where one message goes, by the sending rules: a group entry "<name>" is
// replaced by the group's member list, the recipient text is split into names,
// each listed name is sent to by its address, and the members of a group with
// two or more members that the target list does not hold are left out.
struct TSendPlan {
    // The recipient text after group resolution (FLastTarget); empty when the
    // text names no recipient.
    QByteArray recipient;
    bool isGroup = false;
    // A group of two or more members none of which is in the target list.
    bool groupUnreachable = false;
    // The hosts to send to, in order: an address, a name or "*"; empty ones left out.
    QList<QByteArray> hosts;
};

// The plan for the recipient text as typed. Uses the lookups of the services;
// failures while the group is read leave the text as it was.
TSendPlan PlanSend(const QByteArray& typedRecipient, const TSendServices& services);
