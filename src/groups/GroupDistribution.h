#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

class IMessageBoxes;

// The main window's side of the groups: group entries of the target list, and
// the distribution of the group file to all peers in one GROUPS datagram.
// The target list and the UDP endpoint are reached through the callbacks.
// The group entries of the target list are kept exactly the groups of the
// file: entries of groups that were deleted, renamed or not received again go.
class TGroupDistribution {
  public:
    // SendDatagram(host, datagram text): "*" broadcasts; returns success.
    using SendDatagramFn = std::function<bool(const QByteArray& host, const QByteArray& text)>;
    // Makes the group entries of the target list exactly these entry texts
    // ("<" + name + ">", in file order), each with an empty address.
    using SetGroupEntriesFn = std::function<void(const QList<QByteArray>& entryTexts)>;

    // Shows a lasting notice (the status bar's); the empty text takes it away.
    using ReportFn = std::function<void(const QString& notice)>;

    TGroupDistribution(QByteArray computerName, SendDatagramFn sendDatagram, SetGroupEntriesFn setGroupEntries,
                       IMessageBoxes& boxes);

    // Where a received distribution that cannot be stored is reported.
    void setFailureReport(ReportFn report) { m_report = std::move(report); }

    void setGroupsFile(const QString& path) { m_groupsFile = path; }
    QString groupsFile() const { return m_groupsFile; }
    void setComputerName(const QByteArray& name) { m_computerName = name; }
    QByteArray computerName() const { return m_computerName; }

    // The GROUPS datagram: computer name + ":" + "KVPALAVEROGROUPS:" + payload.
    static QByteArray groupsDatagram(const QByteArray& computerName, const QByteArray& payload);

    // Broadcasts the group file in one GROUPS datagram; the result of SendDatagram.
    bool SendGroups();
    // Makes the group entries of the target list "<" + name + ">" for every
    // group of the file, in file order: stale entries go. A file that exists but
    // cannot be read is reported in a message box and changes nothing.
    void RebuildTargetList();
    // A received GROUPS payload: an empty one is ignored; otherwise it replaces
    // the group file and the target list is rebuilt. A payload that cannot be
    // stored is reported once, with the reason, until one is stored again.
    void onGroupsReceived(const QByteArray& payload);

  private:
    QByteArray m_computerName;
    SendDatagramFn m_sendDatagram;
    SetGroupEntriesFn m_setGroupEntries;
    IMessageBoxes& m_boxes;
    ReportFn m_report;
    QString m_groupsFile;
    bool m_applyFailed = false;
};
