#pragma once

#include "groups/GroupFile.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class IMessageBoxes;
class TGroupDistribution;

// Asks for the name of a group ("Neue Gruppe"), starting from `name`; nullopt
// when the user did not confirm with "Ok".
class IGroupNamePrompt {
  public:
    virtual ~IGroupNamePrompt() = default;
    virtual std::optional<QString> askGroupName(const QString& name) = 0;
};

// What the group editor does, without its window: the group list, the sorted
// computer list with its ticks, and the in-memory copy of the group file that
// every change edits and only "Speichern" writes. The window shows this state
// (changed() after each change) and forwards the user's actions. Names are
// Windows-1252 and compared exactly, except section lookups in the store,
// which ignore letter case.
class TGroupEditor : public QObject {
    Q_OBJECT
  public:
    struct TComputer {
        QByteArray name;
        QString key; // the sort key: the name case-folded
        bool ticked = false;
    };

    TGroupEditor(IMessageBoxes& boxes, IGroupNamePrompt& prompt, QObject* parent = nullptr);

    void SetGroupsFile(const QString& path) { FGroupsFile = path; }
    // Replaces the name prompt (tests answer it without a window).
    void setNamePrompt(IGroupNamePrompt& prompt) { FPrompt = &prompt; }
    QString groupsFile() const { return FGroupsFile; }

    // The start of an editing run: empties both lists, then lists this computer
    // and every computer entry of the target list (trimmed), sorted.
    void fillComputers(const QByteArray& computerName, const QList<QByteArray>& targetTexts);

    // Loads the store from the group file (a missing file is an empty store)
    // and lists its groups, the first one selected. A file that exists but
    // cannot be read is reported and gives no store: false, the editor is not
    // to be shown.
    bool FormShow();
    // Discards the store without writing it.
    void FormClose();

    // Lists the group's members that are not listed yet and ticks exactly the
    // computers named in its member list.
    void ShowGroupMembers(const QByteArray& name);
    // The user selected the group at `row` (-1: none).
    void ListBoxGroupsClick(int row);
    // Renames the selected group.
    void ListBoxGroupsDblClick();
    // The user set the tick of the computer at `row`.
    void CheckListBoxComputersClickCheck(int row, bool ticked);
    void ButtonNewGroupClick();
    void ButtonDeleteGroupClick();
    // Writes the store; false (with a message) when it could not be written.
    bool ButtonSaveClick();
    // Offers to save unsaved changes; false when the window must stay open.
    bool ButtonCloseClick();

    // Whether the user asked for the distribution since the last FormShow;
    // clears the request.
    bool takeDistributionRequest();

    const QList<QByteArray>& groups() const { return FGroups; }
    int selectedGroup() const { return FSelected; }
    const QList<TComputer>& computers() const { return FComputers; }
    bool isModified() const { return FModified; }
    bool isDistributionRequested() const { return FDistributionRequested; }
    // The in-memory store; present from FormShow to FormClose.
    const TGroupFile* store() const { return FStore ? &*FStore : nullptr; }

  Q_SIGNALS:
    void changed();

  private:
    void addComputer(const QByteArray& name);
    void untickAll();
    void setModified();

    IMessageBoxes& FBoxes;
    IGroupNamePrompt* FPrompt;
    QString FGroupsFile;
    std::optional<TGroupFile> FStore;
    QList<QByteArray> FGroups;
    int FSelected = -1;
    QList<TComputer> FComputers;
    bool FModified = false;
    bool FDistributionRequested = false;
};

// One editing run of the group editor (MenuItemGroupsClick), without its
// window: fills the computer list from this computer and the target list's
// computer entries, loads the store, shows the editor (`showEditor` returns
// when it has closed), then makes the group entries of the target list those
// of the file and, when the user asked for it, distributes the file. A group
// file that cannot be read is reported and the editor is not shown.
void RunGroupEditing(TGroupEditor& editor, TGroupDistribution& distribution,
                     const QList<QByteArray>& targetTexts, const std::function<void()>& showEditor);
