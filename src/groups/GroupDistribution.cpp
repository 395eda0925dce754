#include "groups/GroupDistribution.h"

#include "groups/GroupFile.h"
#include "groups/GroupOps.h"
#include "platform/MessageBoxes.h"

#include <utility>

TGroupDistribution::TGroupDistribution(QByteArray computerName, SendDatagramFn sendDatagram,
                                       SetGroupEntriesFn setGroupEntries, IMessageBoxes& boxes)
    : m_computerName(std::move(computerName)), m_sendDatagram(std::move(sendDatagram)),
      m_setGroupEntries(std::move(setGroupEntries)), m_boxes(boxes) {}

QByteArray TGroupDistribution::groupsDatagram(const QByteArray& computerName, const QByteArray& payload) {
    return computerName + ':' + kGroupsKeyword + payload;
}

bool TGroupDistribution::SendGroups() {
    const QByteArray datagram = groupsDatagram(m_computerName, ReadFileText(m_groupsFile));
    return m_sendDatagram && m_sendDatagram(QByteArrayLiteral("*"), datagram);
}

void TGroupDistribution::RebuildTargetList() {
    TGroupFile::LoadStatus status = TGroupFile::LoadStatus::Missing;
    QString reason;
    const TGroupFile file = TGroupFile::load(m_groupsFile, &status, &reason);
    if (status == TGroupFile::LoadStatus::Unreadable) {
        m_boxes.show(groupFileUnreadableText(m_groupsFile, reason), IMessageBoxes::Icon::Error);
        return;
    }
    if (!m_setGroupEntries)
        return;
    QList<QByteArray> entries = file.groupNames();
    for (QByteArray& entry : entries)
        entry = groupEntryText(entry);
    m_setGroupEntries(entries);
}

void TGroupDistribution::onGroupsReceived(const QByteArray& payload) {
    if (payload.isEmpty())
        return;
    QString reason;
    const bool applied = ApplyReceivedGroups(m_groupsFile, payload, &reason);
    // Said once until a distribution is stored again; a stored one takes the notice away.
    if (m_report && applied == m_applyFailed)
        m_report(applied ? QString() : QStringLiteral("Empfangene Gruppen nicht gespeichert: ") + reason);
    m_applyFailed = !applied;
    RebuildTargetList();
}
