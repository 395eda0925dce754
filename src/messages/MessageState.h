#pragma once

#include <QByteArray>

// The main window's message fields, shared by the sender, the receiver and the log.
// All text is Windows-1252.
struct TMessageState {
    QByteArray FPendingText;  // everything the message pane shows since the window was last put away
    QByteArray FReceivedText; // every message received in this run ("Eingegangene Nachrichten")
    QByteArray FLastMessage;  // message text of the last send that had a recipient
    QByteArray FLastTarget;   // its recipient text, a group resolved to its members
};
