#include "groups/FormGroups.h"

#include "core/Ansi.h"
#include "core/SwissGerman.h"
#include "groups/GroupDistribution.h"
#include "platform/UiFont.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStandardItemModel>

namespace {

constexpr int kListMargin = 3;    // around each list
constexpr int kCenterWidth = 24;  // PanelCenter
constexpr int kBottomHeight = 51; // PanelBottom
constexpr int kButtonHeight = 25;
constexpr int kButtonGap = 8;

QFont dialogFont() {
    QFont font = UiFont::font();
    font.setPointSize(9);
    return font;
}

// Enter and Escape do nothing in these dialogs unless a focused button takes
// Enter itself: no button is bound to either key.
bool isDialogKey(const QKeyEvent* event) {
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption, int width) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->resize(width, kButtonHeight);
    return b;
}

// Makes the list show `texts` without emitting its signals.
void showTexts(QListWidget* list, const QList<QByteArray>& texts) {
    const QSignalBlocker blocker(list);
    while (list->count() > texts.size())
        delete list->takeItem(list->count() - 1);
    for (qsizetype i = 0; i < texts.size(); ++i) {
        const QString text = Ansi::toUnicode(texts.at(i));
        if (i < list->count()) {
            if (list->item(int(i))->text() != text)
                list->item(int(i))->setText(text);
        } else {
            list->addItem(text);
        }
    }
}

} // namespace

// ---------------------------------------------------------------- TFormNewGroup

TFormNewGroup::TFormNewGroup(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FormNewGroup"));
    setWindowTitle(QStringLiteral("Neue Gruppe"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setFont(dialogFont());

    LabelGroupName = new QLabel(QStringLiteral("Name der Gruppe"), this);
    LabelGroupName->setObjectName(QStringLiteral("LabelGroupName"));
    LabelGroupName->setGeometry(12, 10, 240, 16);
    EditGroupName = new QLineEdit(this);
    EditGroupName->setObjectName(QStringLiteral("EditGroupName"));
    EditGroupName->setAccessibleName(QStringLiteral("Name der Gruppe"));
    EditGroupName->setGeometry(12, 28, 240, 24);
    // Every character arrives as a key press, none through an input method.
    EditGroupName->setAttribute(Qt::WA_InputMethodEnabled, false);
    EditGroupName->installEventFilter(this);
    LabelGroupName->setBuddy(EditGroupName);
    ButtonOk = button(this, "ButtonOk", QStringLiteral("Ok"), 75);
    ButtonOk->move(96, 64);
    ButtonCancel = button(this, "ButtonCancel", QStringLiteral("Abbrechen"), 75);
    ButtonCancel->move(177, 64);
    setFixedSize(264, 101);

    connect(ButtonOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
}

std::optional<QString> TFormNewGroup::askGroupName(const QString& name) {
    EditGroupName->setText(name);
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    return EditGroupName->text();
}

bool TFormNewGroup::acceptsCharacter(QChar c) {
    const char16_t u = c.unicode();
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-')
        return true;
    return QStringView(u"ÄÖÜäöüß").contains(c);
}

bool TFormNewGroup::EditGroupNameKeyPress(const QKeyEvent* event) const {
    // The character a key types, as the field would receive it: Backspace,
    // Enter, Escape and Ctrl with a letter type control characters; Tab moves
    // the focus; Delete, the arrows and the like type nothing.
    switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
        return false;
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        return true;
    default:
        break;
    }
    const Qt::KeyboardModifiers mods = event->modifiers();
    if ((mods & Qt::ControlModifier) && !(mods & Qt::AltModifier) && event->key() >= Qt::Key_A &&
        event->key() <= Qt::Key_Z)
        return true;
    const QString text = event->text();
    for (const QChar c : text) {
        if (!acceptsCharacter(c))
            return true;
    }
    return false;
}

bool TFormNewGroup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == EditGroupName && event->type() == QEvent::KeyPress &&
        EditGroupNameKeyPress(static_cast<QKeyEvent*>(event)))
        return true;
    return QDialog::eventFilter(watched, event);
}

void TFormNewGroup::keyPressEvent(QKeyEvent* event) {
    if (isDialogKey(event))
        return;
    QDialog::keyPressEvent(event);
}

void TFormNewGroup::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    EditGroupName->setFocus();
    EditGroupName->selectAll();
}

// ---------------------------------------------------------------- TFormGroups

TFormGroups::TFormGroups(IMessageBoxes& boxes, const QLocale& systemLocale, QWidget* parent)
    : QDialog(parent), FFormNewGroup(new TFormNewGroup(this)), FEditor(boxes, *FFormNewGroup) {
    setObjectName(QStringLiteral("FormGroups"));
    setWindowTitle(QStringLiteral("Gruppen"));
    // A close box only; above the main window, which stays on top.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setFont(dialogFont());
    createControls();
    // The designed minimum of 500 by 250 pixels is the outer size; the client
    // area opens at 484 by 293.
    setMinimumSize(484, 211);
    resize(484, 293);
    connect(&FEditor, &TGroupEditor::changed, this, &TFormGroups::showState);
    FormCreate(systemLocale);
}

void TFormGroups::createControls() {
    HeaderControlGroups = new QHeaderView(Qt::Horizontal, this);
    HeaderControlGroups->setObjectName(QStringLiteral("HeaderControlGroups"));
    auto* headerModel = new QStandardItemModel(0, 3, HeaderControlGroups);
    headerModel->setHorizontalHeaderLabels(
        {QStringLiteral("Gruppen"), QString(), QStringLiteral("Computer")});
    HeaderControlGroups->setModel(headerModel);
    HeaderControlGroups->setSectionResizeMode(QHeaderView::Fixed);
    HeaderControlGroups->setSectionsClickable(false);
    HeaderControlGroups->setDefaultAlignment(Qt::AlignCenter);
    HeaderControlGroups->setMinimumSectionSize(0);
    HeaderControlGroups->setStretchLastSection(false);

    ListBoxGroups = new QListWidget(this);
    ListBoxGroups->setObjectName(QStringLiteral("ListBoxGroups"));
    ListBoxGroups->setAccessibleName(QStringLiteral("Gruppen"));
    ListBoxGroups->setSelectionMode(QAbstractItemView::SingleSelection);
    PanelCenter = new QWidget(this);
    PanelCenter->setObjectName(QStringLiteral("PanelCenter"));
    CheckListBoxComputers = new QListWidget(this);
    CheckListBoxComputers->setObjectName(QStringLiteral("CheckListBoxComputers"));
    CheckListBoxComputers->setAccessibleName(QStringLiteral("Computer der Gruppe"));
    CheckListBoxComputers->setSelectionMode(QAbstractItemView::SingleSelection);

    PanelBottom = new QWidget(this);
    PanelBottom->setObjectName(QStringLiteral("PanelBottom"));
    ButtonNewGroup = button(PanelBottom, "ButtonNewGroup", QStringLiteral("Neue Gruppe"), 100);
    ButtonDeleteGroup = button(PanelBottom, "ButtonDeleteGroup", QStringLiteral("Gruppe löschen"), 100);
    ButtonSave = button(PanelBottom, "ButtonSave", QStringLiteral("Speichern"), 90);
    ButtonClose = button(PanelBottom, "ButtonClose", QStringLiteral("Schließen"), 90);
    setTabOrder(ListBoxGroups, CheckListBoxComputers);
    setTabOrder(CheckListBoxComputers, ButtonNewGroup);
    setTabOrder(ButtonNewGroup, ButtonDeleteGroup);
    setTabOrder(ButtonDeleteGroup, ButtonSave);
    setTabOrder(ButtonSave, ButtonClose);

    connect(ListBoxGroups, &QListWidget::itemSelectionChanged, this, &TFormGroups::ListBoxGroupsClick);
    connect(ListBoxGroups, &QListWidget::itemDoubleClicked, &FEditor, &TGroupEditor::ListBoxGroupsDblClick);
    connect(CheckListBoxComputers, &QListWidget::itemChanged, this,
            &TFormGroups::CheckListBoxComputersClickCheck);
    connect(ButtonNewGroup, &QPushButton::clicked, &FEditor, &TGroupEditor::ButtonNewGroupClick);
    connect(ButtonDeleteGroup, &QPushButton::clicked, &FEditor, &TGroupEditor::ButtonDeleteGroupClick);
    connect(ButtonSave, &QPushButton::clicked, &FEditor, &TGroupEditor::ButtonSaveClick);
    connect(ButtonClose, &QPushButton::clicked, this, &TFormGroups::ButtonCloseClick);
}

void TFormGroups::FormCreate(const QLocale& systemLocale) {
    if (isSwissGerman(systemLocale))
        ButtonClose->setText(QStringLiteral("Schliessen"));
}

void TFormGroups::MenuItemGroupsClick(TGroupDistribution& distribution,
                                      const QList<QByteArray>& targetTexts) {
    if (isVisible()) {
        raise();
        activateWindow();
        return;
    }
    RunGroupEditing(FEditor, distribution, targetTexts, [this] { exec(); });
}

void TFormGroups::showState() {
    showTexts(ListBoxGroups, FEditor.groups());
    {
        const QSignalBlocker blocker(ListBoxGroups);
        const int selected = FEditor.selectedGroup();
        if (selected >= 0) {
            ListBoxGroups->setCurrentRow(selected);
        } else {
            ListBoxGroups->clearSelection();
            ListBoxGroups->setCurrentRow(-1);
        }
    }
    QList<QByteArray> names;
    const QList<TGroupEditor::TComputer>& computers = FEditor.computers();
    names.reserve(computers.size());
    for (const TGroupEditor::TComputer& computer : computers)
        names.append(computer.name);
    showTexts(CheckListBoxComputers, names);
    const QSignalBlocker blocker(CheckListBoxComputers);
    for (qsizetype i = 0; i < computers.size(); ++i) {
        QListWidgetItem* item = CheckListBoxComputers->item(int(i));
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        const Qt::CheckState state = computers.at(i).ticked ? Qt::Checked : Qt::Unchecked;
        if (item->checkState() != state || !item->data(Qt::CheckStateRole).isValid())
            item->setCheckState(state);
    }
}

void TFormGroups::ListBoxGroupsClick() {
    const QList<QListWidgetItem*> selected = ListBoxGroups->selectedItems();
    FEditor.ListBoxGroupsClick(selected.isEmpty() ? -1 : ListBoxGroups->row(selected.first()));
}

void TFormGroups::CheckListBoxComputersClickCheck(QListWidgetItem* item) {
    FEditor.CheckListBoxComputersClickCheck(CheckListBoxComputers->row(item),
                                            item->checkState() == Qt::Checked);
}

void TFormGroups::ButtonCloseClick() {
    if (FEditor.ButtonCloseClick())
        done(QDialog::Accepted);
}

void TFormGroups::keyPressEvent(QKeyEvent* event) {
    if (isDialogKey(event))
        return;
    QDialog::keyPressEvent(event);
}

void TFormGroups::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    FormResize();
}

void TFormGroups::FormResize() {
    const int w = width();
    const int h = height();
    const int headerHeight = HeaderControlGroups->sizeHint().height();
    HeaderControlGroups->setGeometry(0, 0, w, headerHeight);
    const int half = (w - kCenterWidth) / 2;
    HeaderControlGroups->resizeSection(0, half);
    HeaderControlGroups->resizeSection(1, kCenterWidth);
    HeaderControlGroups->resizeSection(2, half);

    const int listTop = headerHeight + kListMargin;
    const int listHeight = qMax(0, h - kBottomHeight - headerHeight - 2 * kListMargin);
    ListBoxGroups->setGeometry(kListMargin, listTop, half - 2 * kListMargin, listHeight);
    PanelCenter->setGeometry(half, headerHeight, kCenterWidth, listHeight + 2 * kListMargin);
    const int right = half + kCenterWidth;
    CheckListBoxComputers->setGeometry(right + kListMargin, listTop, w - right - 2 * kListMargin, listHeight);

    PanelBottom->setGeometry(0, h - kBottomHeight, w, kBottomHeight);
    const int buttonTop = (kBottomHeight - kButtonHeight) / 2;
    ButtonNewGroup->move(kButtonGap, buttonTop);
    ButtonDeleteGroup->move(ButtonNewGroup->geometry().right() + 1 + kButtonGap, buttonTop);
    ButtonClose->move(w - kButtonGap - ButtonClose->width(), buttonTop);
    ButtonSave->move(ButtonClose->x() - kButtonGap - ButtonSave->width(), buttonTop);
}
