#pragma once

#include "messages/MessageLog.h"
#include "messages/MessageState.h"
#include "platform/MessageBoxes.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

// What the sender needs from the main window: the editor, the recipient box,
// the status bar and the window itself.
struct TScriptSendResult;

class ISendView {
  public:
    virtual ~ISendView() = default;
    virtual QByteArray messageText() const = 0;   // MemoSend as Windows-1252
    virtual QByteArray recipientText() const = 0; // ComboBoxTarget's edit text as Windows-1252
    virtual void focusEditor() = 0;
    virtual void setStatusText(const QString& text) = 0; // status panel 0
    virtual void clearEditor() = 0;
    virtual void hideToTray() = 0;
    virtual void setMessageText(const QByteArray& text) = 0;
    virtual void setRecipientText(const QByteArray& text) = 0;
    virtual void showWindow() = 0;
};

// The other subsystems the send path consults, as plain callbacks.
struct TSendServices {
    QByteArray computerName;
    std::function<QString()> snippetFile;
    // Target list lookup, letter case ignored: the entry's FIPAddress, nullopt when unlisted.
    std::function<std::optional<QByteArray>(const QByteArray& name)> addressOf;
    // Whether the target list holds an entry with exactly this text (letter case counts).
    // Unset when no target list is known: the members of a group are then not filtered.
    std::function<bool(const QByteArray& name)> isListedExact;
    // The trimmed "Members" value of the group; nullopt when the group file is missing.
    std::function<std::optional<QByteArray>(const QByteArray& group)> groupMembers;
    // SendDatagram of the endpoint: host is an address, a host name or "*"; true on success.
    std::function<bool(const QByteArray& host, const QByteArray& datagram)> sendDatagram;
};

// Composing and sending: the send button and the small handlers around the editor.
class TMessageSender {
  public:
    TMessageSender(ISendView& view, TSendServices services, TMessageLog& log, IMessageBoxes& boxes,
                   TMessageState& state);

    void BitBtnSendClick();             // "&Senden"
    void BitBtnSendToAllClick();        // "An &alle": recipient "*", sends nothing
    void Nachrichterneutsenden1Click(); // "Nachricht erneut senden": restores the last send
    void MemoSendChange();              // the editor changed: the status text is emptied

    // The status texts of a send: "Nachricht gesendet: 42 Bytes", "Nachricht nicht
    // gesendet! 42 Bytes", and "Kein Empfänger ausgewählt."; StatusTexts() the
    // longest of each.
    static QString SendStatusText(bool sent, qsizetype bytes);
    static QString NoRecipientText();
    static QStringList StatusTexts();

    // A message handed over by a script (palavero --send): logged as a sent entry
    // and sent by the same rules, without a box and without touching the window.
    TScriptSendResult SendFromScript(const QByteArray& recipient, const QByteArray& message);

    static QByteArray DataDatagram(const QByteArray& computerName, const QByteArray& text);

  private:
    ISendView& FView;
    TSendServices FServices;
    TMessageLog& FLog;
    IMessageBoxes& FBoxes;
    TMessageState& FState;
};
