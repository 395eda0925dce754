#include "groups/GroupEditor.h"

#include "core/Ansi.h"
#include "core/TextUtil.h"
#include "groups/GroupDistribution.h"
#include "groups/GroupOps.h"
#include "platform/MessageBoxes.h"

#include <QDir>
#include <QSet>

#include <algorithm>

namespace {

const QString kCaptionGroups = QStringLiteral("Gruppen einrichten");

QString sortKey(const QByteArray& name) {
    return Ansi::toUnicode(name).toCaseFolded();
}

// The name as entered, without line breaks and other control characters:
// pasted into the field they would break the group file's lines.
QByteArray groupName(const QString& entered) {
    QString name = entered;
    name.removeIf([](QChar c) { return c.unicode() < 32; });
    return Ansi::fromUnicode(name);
}

} // namespace

TGroupEditor::TGroupEditor(IMessageBoxes& boxes, IGroupNamePrompt& prompt, QObject* parent)
    : QObject(parent), FBoxes(boxes), FPrompt(&prompt) {}

void TGroupEditor::fillComputers(const QByteArray& computerName, const QList<QByteArray>& targetTexts) {
    FGroups.clear();
    FSelected = -1;
    FComputers.clear();
    FComputers.reserve(targetTexts.size() + 1);
    FComputers.append({computerName, sortKey(computerName), false});
    for (const QByteArray& text : targetTexts) {
        if (!isGroupEntry(text)) {
            const QByteArray name = TextUtil::trim(text);
            FComputers.append({name, sortKey(name), false});
        }
    }
    // Sorted once; equal keys keep the order of adding, as one by one.
    std::stable_sort(FComputers.begin(), FComputers.end(),
                     [](const TComputer& a, const TComputer& b) { return a.key < b.key; });
    Q_EMIT changed();
}

void TGroupEditor::addComputer(const QByteArray& name) {
    TComputer computer{name, sortKey(name), false};
    const auto at = std::upper_bound(FComputers.begin(), FComputers.end(), computer,
                                     [](const TComputer& a, const TComputer& b) { return a.key < b.key; });
    FComputers.insert(at, std::move(computer));
}

bool TGroupEditor::FormShow() {
    FDistributionRequested = false;
    TGroupFile::LoadStatus status = TGroupFile::LoadStatus::Missing;
    QString reason;
    TGroupFile file = TGroupFile::load(FGroupsFile, &status, &reason);
    if (status == TGroupFile::LoadStatus::Unreadable) {
        FStore.reset();
        FBoxes.show(groupFileUnreadableText(FGroupsFile, reason), IMessageBoxes::Icon::Error);
        return false;
    }
    FStore = std::move(file);
    // The store is the file as it is: nothing unsaved yet.
    FModified = false;
    FGroups = FStore->groupNames();
    FSelected = -1;
    if (!FGroups.isEmpty()) {
        FSelected = 0;
        ShowGroupMembers(FGroups.first());
    }
    Q_EMIT changed();
    return true;
}

void TGroupEditor::FormClose() {
    FStore.reset();
}

void TGroupEditor::ShowGroupMembers(const QByteArray& name) {
    const QList<QByteArray> members = FStore ? FStore->members(name) : QList<QByteArray>();
    const QSet<QByteArray> memberSet(members.cbegin(), members.cend());
    QSet<QByteArray> listed;
    for (const TComputer& computer : std::as_const(FComputers))
        listed.insert(computer.name);
    for (const QByteArray& member : members) {
        if (!listed.contains(member)) {
            listed.insert(member);
            addComputer(member);
        }
    }
    for (TComputer& computer : FComputers)
        computer.ticked = memberSet.contains(computer.name);
    Q_EMIT changed();
}

void TGroupEditor::untickAll() {
    for (TComputer& computer : FComputers)
        computer.ticked = false;
}

void TGroupEditor::setModified() {
    FModified = true;
    Q_EMIT changed();
}

void TGroupEditor::ListBoxGroupsClick(int row) {
    FSelected = row >= 0 && row < FGroups.size() ? row : -1;
    if (FSelected < 0) {
        untickAll();
        Q_EMIT changed();
        return;
    }
    ShowGroupMembers(FGroups.at(FSelected));
}

void TGroupEditor::CheckListBoxComputersClickCheck(int row, bool ticked) {
    if (row < 0 || row >= FComputers.size())
        return;
    if (FSelected < 0 || !FStore) {
        FComputers[row].ticked = false;
        Q_EMIT changed();
        FBoxes.show(QStringLiteral("Bitte zuerst eine Gruppe auswählen!"));
        return;
    }
    FComputers[row].ticked = ticked;
    QByteArray members;
    for (const TComputer& computer : std::as_const(FComputers)) {
        if (computer.ticked)
            members += computer.name + ',';
    }
    FStore->setMembersText(FGroups.at(FSelected), TextUtil::trim(members));
    setModified();
}

void TGroupEditor::ButtonNewGroupClick() {
    if (!FStore)
        return;
    const std::optional<QString> entered = FPrompt->askGroupName(QString());
    if (!entered)
        return;
    const QByteArray name = groupName(*entered);
    FGroups.append(name);
    FSelected = int(FGroups.size()) - 1;
    ShowGroupMembers(name);
    setModified();
}

void TGroupEditor::ListBoxGroupsDblClick() {
    if (FSelected < 0 || !FStore)
        return;
    const QByteArray oldName = FGroups.at(FSelected);
    const std::optional<QString> entered = FPrompt->askGroupName(Ansi::toUnicode(oldName));
    if (!entered)
        return;
    const QByteArray newName = groupName(*entered);
    FGroups[FSelected] = newName;
    const QByteArray members = FStore->membersText(oldName);
    FStore->removeGroup(oldName);
    FStore->setMembersText(newName, members);
    setModified();
}

void TGroupEditor::ButtonDeleteGroupClick() {
    if (FSelected < 0 || !FStore)
        return;
    const QByteArray name = FGroups.at(FSelected);
    if (!FBoxes.ask(QStringLiteral("Gruppe löschen"),
                    QStringLiteral("Soll die Gruppe ") + Ansi::toUnicode(name) +
                        QStringLiteral(" wirklich gelöscht werden?"),
                    IMessageBoxes::Icon::Question))
        return;
    FGroups.removeAt(FSelected);
    FStore->removeGroup(name);
    ListBoxGroupsClick(-1);
    setModified();
}

bool TGroupEditor::ButtonSaveClick() {
    if (!FStore)
        return false;
    QString reason;
    if (!FStore->save(FGroupsFile, &reason)) {
        FBoxes.show(QStringLiteral("Die Gruppendatei kann nicht gespeichert werden: ") +
                        QDir::toNativeSeparators(FGroupsFile) + QStringLiteral("\r\n") + reason,
                    IMessageBoxes::Icon::Error);
        return false;
    }
    FModified = false;
    Q_EMIT changed();
    if (FBoxes.ask(kCaptionGroups,
                   QStringLiteral("Sollen die Gruppeneinstellungen auf allen erreichbaren Palavero-Computern "
                                  "überschrieben werden?"),
                   IMessageBoxes::Icon::Question))
        FDistributionRequested = true;
    return true;
}

bool TGroupEditor::ButtonCloseClick() {
    if (FModified && FBoxes.ask(kCaptionGroups, QStringLiteral("Sollen die Änderungen gespeichert werden?"),
                                IMessageBoxes::Icon::Question))
        return ButtonSaveClick();
    return true;
}

bool TGroupEditor::takeDistributionRequest() {
    const bool requested = FDistributionRequested;
    FDistributionRequested = false;
    return requested;
}

void RunGroupEditing(TGroupEditor& editor, TGroupDistribution& distribution,
                     const QList<QByteArray>& targetTexts, const std::function<void()>& showEditor) {
    editor.fillComputers(distribution.computerName(), targetTexts);
    if (!editor.FormShow())
        return;
    showEditor();
    editor.FormClose();
    distribution.RebuildTargetList();
    if (editor.takeDistributionRequest())
        distribution.SendGroups();
}
