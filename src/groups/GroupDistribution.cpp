#include "groups/GroupDistribution.h"

#include "groups/GroupFile.h"
#include "groups/GroupOps.h"
#include "platform/MessageBoxes.h"

#include <QDir>

#include <utility>

TGroupDistribution::TGroupDistribution(QByteArray computerName, SendDatagramFn sendDatagram,
                                       AddRemoteComputerFn addRemoteComputer, IMessageBoxes& boxes)
    : m_computerName(std::move(computerName)), m_sendDatagram(std::move(sendDatagram)),
      m_addRemoteComputer(std::move(addRemoteComputer)), m_boxes(boxes) {}

QByteArray TGroupDistribution::groupsDatagram(const QByteArray& computerName, const QByteArray& payload) {
    return computerName + ':' + kGroupsKeyword + payload;
}

bool TGroupDistribution::SendGroups() {
    const QByteArray datagram = groupsDatagram(m_computerName, ReadFileText(m_groupsFile));
    return m_sendDatagram && m_sendDatagram(QByteArrayLiteral("*"), datagram);
}

void TGroupDistribution::RebuildTargetList() {
    TGroupFile::LoadStatus status = TGroupFile::LoadStatus::Missing;
    const TGroupFile file = TGroupFile::load(m_groupsFile, &status);
    if (status == TGroupFile::LoadStatus::Unreadable) {
        m_boxes.show(QStringLiteral("Die Gruppendatei kann nicht gelesen werden: ") +
                         QDir::toNativeSeparators(m_groupsFile),
                     IMessageBoxes::Icon::Error);
        return;
    }
    if (!m_addRemoteComputer)
        return;
    // A local copy: adding an entry may let pending events run.
    const QList<QByteArray> names = file.groupNames();
    for (const QByteArray& name : names)
        m_addRemoteComputer(groupEntryText(name), QByteArray());
}

void TGroupDistribution::onGroupsReceived(const QByteArray& payload) {
    if (payload.isEmpty())
        return;
    ApplyReceivedGroups(m_groupsFile, payload);
    RebuildTargetList();
}
