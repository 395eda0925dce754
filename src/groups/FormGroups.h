#pragma once

#include "groups/GroupEditor.h"

#include <QDialog>
#include <QList>

class IMessageBoxes;
class QHeaderView;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QLocale;
class QPushButton;
class TGroupDistribution;

// The name prompt "Neue Gruppe", for a new group and for a new name of one.
// Only typed characters are filtered (EditGroupNameKeyPress); what is pasted
// through the field's context menu is taken as it is.
class TFormNewGroup : public QDialog, public IGroupNamePrompt {
    Q_OBJECT
  public:
    explicit TFormNewGroup(QWidget* parent = nullptr);

    // Shows the prompt modally with `name` in the field; the field's text
    // after "Ok", nullopt after anything else.
    std::optional<QString> askGroupName(const QString& name) override;

    // Whether a typed character is taken into the name: ASCII letters and
    // digits, "-", Ä, Ö, Ü, ä, ö, ü and ß.
    static bool acceptsCharacter(QChar c);

    QLabel* LabelGroupName = nullptr;
    QLineEdit* EditGroupName = nullptr;
    QPushButton* ButtonOk = nullptr;
    QPushButton* ButtonCancel = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

  private:
    // Discards a key press that types a character the name does not take.
    bool EditGroupNameKeyPress(const QKeyEvent* event) const;
};

// The group editor "Gruppen". It shows the state of its TGroupEditor and
// forwards the user's actions to it.
class TFormGroups : public QDialog {
    Q_OBJECT
  public:
    TFormGroups(IMessageBoxes& boxes, const QLocale& systemLocale, QWidget* parent = nullptr);

    void SetGroupsFile(const QString& path) { FEditor.SetGroupsFile(path); }
    QString groupsFile() const { return FEditor.groupsFile(); }

    // One editing run (the main window's MenuItemGroupsClick): the computer
    // list from this computer and the computer entries of the target list, the
    // editor shown modally, then the group entries of the target list made
    // those of the file, and the file distributed when the user asked for it.
    // While the editor is open a further call only brings it to the front.
    void MenuItemGroupsClick(TGroupDistribution& distribution, const QList<QByteArray>& targetTexts);

    TGroupEditor& editor() { return FEditor; }
    TFormNewGroup& formNewGroup() { return *FFormNewGroup; }

    // Handlers.
    void ButtonCloseClick();
    void FormResize();

    QHeaderView* HeaderControlGroups = nullptr;
    QListWidget* ListBoxGroups = nullptr;
    QWidget* PanelCenter = nullptr;
    QListWidget* CheckListBoxComputers = nullptr;
    QWidget* PanelBottom = nullptr;
    QPushButton* ButtonNewGroup = nullptr;
    QPushButton* ButtonDeleteGroup = nullptr;
    QPushButton* ButtonSave = nullptr;
    QPushButton* ButtonClose = nullptr;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void createControls();
    void FormCreate(const QLocale& systemLocale);
    void showState();
    void ListBoxGroupsClick();
    void CheckListBoxComputersClickCheck(QListWidgetItem* item);

    TFormNewGroup* FFormNewGroup = nullptr;
    TGroupEditor FEditor;
};
