#pragma once

#include "messages/MessageSender.h"

#include <QByteArray>
#include <QStringList>

// The outcome of a message sent for a script: sent to every destination, or
// the German reasons why not, one line each.
struct TScriptSendResult {
    bool sent = false;
    QStringList errors;
};

// Sends a message of a script (palavero --send) by the sending rules of the
// window, without a box and without touching the window: an empty text, a text
// that does not fit into one datagram, a missing recipient and an unreachable
// group are refused before anything is sent; a destination that fails is
// reported with its reason (an unknown name, or no network).
TScriptSendResult SendScripted(const QByteArray& recipient, const QByteArray& message,
                               const TSendServices& services);
