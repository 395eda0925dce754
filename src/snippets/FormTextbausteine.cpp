#include "snippets/FormTextbausteine.h"

#include "core/FileErrorText.h"
#include "platform/MessageBoxes.h"
#include "platform/UiFont.h"
#include "snippets/SnippetGrid.h"
#include "snippets/SnippetStore.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QVBoxLayout>

const QString TFormTextbausteine::kStatusText = QStringLiteral("Kurztext + F3  im Hauptfenster");

namespace {

constexpr int kClientWidth = 576;
constexpr int kClientHeight = 342;
constexpr int kBottomStripHeight = 41;

QString chooseWithDialog(QWidget* parent, TFormTextbausteine::FileDialogKind kind) {
    QFileDialog dialog(parent);
    // Above the editor, which stays on top.
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    dialog.setNameFilter(QStringLiteral("*.ini"));
    dialog.setDefaultSuffix(QStringLiteral("ini"));
    if (kind == TFormTextbausteine::FileDialogKind::Open) {
        dialog.setWindowTitle(QStringLiteral("Textbausteine importieren"));
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    } else {
        dialog.setWindowTitle(QStringLiteral("Textbausteine exportieren"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace

TFormTextbausteine::TFormTextbausteine(TSnippetStore& store, IMessageBoxes& boxes, QWidget* parent)
    : QDialog(parent), FStore(store), FBoxes(boxes), FChooseFile(chooseWithDialog) {
    setObjectName(QStringLiteral("FormTextbausteine"));
    setWindowTitle(QStringLiteral("Textbausteine"));
    // Resizable; above the main window, which stays on top.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    QFont dialogFont = UiFont::font();
    dialogFont.setPointSize(9);
    setFont(dialogFont);
    createControls();
    resize(kClientWidth, kClientHeight);

    // Shown once the edit has ended, not from inside the grid's commit.
    connect(&FStore, &TSnippetStore::editRefused, this,
            [this](const QString& message) { FBoxes.show(message, IMessageBoxes::Icon::Warning); },
            Qt::QueuedConnection);
}

void TFormTextbausteine::createControls() {
    ValueListEditorTB = new TSnippetGrid(FStore, this);
    ValueListEditorTB->setObjectName(QStringLiteral("ValueListEditorTB"));
    ValueListEditorTB->setAccessibleName(QStringLiteral("Textbausteine"));

    PanelBottom = new QWidget(this);
    PanelBottom->setObjectName(QStringLiteral("PanelBottom"));
    PanelBottom->setFixedHeight(kBottomStripHeight);
    BitBtnSave = new QPushButton(QStringLiteral("Speichern"), PanelBottom);
    BitBtnSave->setObjectName(QStringLiteral("BitBtnSave"));
    BitBtnClose = new QPushButton(QStringLiteral("S&chließen"), PanelBottom);
    BitBtnClose->setObjectName(QStringLiteral("BitBtnClose"));
    for (QPushButton* button : {BitBtnSave, BitBtnClose}) {
        button->setAutoDefault(false);
        button->setMinimumSize(97, 28);
    }
    auto* strip = new QHBoxLayout(PanelBottom);
    strip->setContentsMargins(8, 6, 8, 7);
    strip->addStretch(1);
    strip->addWidget(BitBtnSave);
    strip->addWidget(BitBtnClose);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(true);
    FStatusLabel = new QLabel(kStatusText, StatusBar1);
    FStatusLabel->setObjectName(QStringLiteral("StatusBar1Text"));
    FStatusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    StatusBar1->addWidget(FStatusLabel, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ValueListEditorTB, 1);
    layout->addWidget(PanelBottom);
    layout->addWidget(StatusBar1);

    PopupMenuDB = new QMenu(this);
    PopupMenuDB->setObjectName(QStringLiteral("PopupMenuDB"));
    Import1 = PopupMenuDB->addAction(QStringLiteral("Import"));
    Import1->setObjectName(QStringLiteral("Import1"));
    Export1 = PopupMenuDB->addAction(QStringLiteral("Export"));
    Export1->setObjectName(QStringLiteral("Export1"));
    PopupMenuDB->addSeparator();
    Schlien1 = PopupMenuDB->addAction(QStringLiteral("Schließen"));
    Schlien1->setObjectName(QStringLiteral("Schlien1"));

    // The window sees Ctrl+I before its controls, also while a cell is edited.
    ShowPath1 = new QAction(this);
    ShowPath1->setObjectName(QStringLiteral("ShowPath1"));
    ShowPath1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
    ShowPath1->setShortcutContext(Qt::WindowShortcut);
    addAction(ShowPath1);

    connect(BitBtnSave, &QPushButton::clicked, this, &TFormTextbausteine::BitBtnSaveClick);
    connect(BitBtnClose, &QPushButton::clicked, this, &TFormTextbausteine::Schlien1Click);
    connect(Import1, &QAction::triggered, this, &TFormTextbausteine::Import1Click);
    connect(Export1, &QAction::triggered, this, &TFormTextbausteine::Export1Click);
    connect(Schlien1, &QAction::triggered, this, &TFormTextbausteine::Schlien1Click);
    connect(ShowPath1, &QAction::triggered, this, &TFormTextbausteine::ShowSnippetFilePath);
}

void TFormTextbausteine::setFileChooser(TFileChooser chooser) {
    FChooseFile = std::move(chooser);
}

QByteArray TFormTextbausteine::LookupSnippet(const QByteArray& key) const {
    return FStore.LookupSnippet(key);
}

QString TFormTextbausteine::statusText() const {
    return FStatusLabel->text();
}

void TFormTextbausteine::showFailure(const QString& what, const QString& path, const QString& reason) {
    FBoxes.show(FileErrorText::message(what, path, reason));
}

void TFormTextbausteine::BitBtnSaveClick() {
    ValueListEditorTB->commitOpenEditor();
    QString reason;
    if (!FStore.Save(&reason))
        showFailure(QStringLiteral("Fehler beim Speichern der Textbausteine: "), FStore.snippetFile(), reason);
}

void TFormTextbausteine::Import1Click() {
    const QString path = FChooseFile(this, FileDialogKind::Open);
    if (path.isEmpty())
        return;
    ValueListEditorTB->commitOpenEditor();
    QString reason;
    if (!FStore.Import(path, &reason))
        showFailure(QStringLiteral("Fehler beim Importieren der Textbausteine: "), path, reason);
}

void TFormTextbausteine::Export1Click() {
    ValueListEditorTB->commitOpenEditor();
    const QString path = FChooseFile(this, FileDialogKind::Save);
    if (path.isEmpty())
        return;
    QString reason;
    if (!FStore.Export(path, &reason))
        showFailure(QStringLiteral("Fehler beim Exportieren der Textbausteine: "), path, reason);
}

void TFormTextbausteine::Schlien1Click() {
    reject();
}

void TFormTextbausteine::ShowSnippetFilePath() {
    FStatusLabel->setText(QDir::toNativeSeparators(FStore.snippetFile()));
}

void TFormTextbausteine::done(int result) {
    ValueListEditorTB->commitOpenEditor();
    QDialog::done(result);
}

void TFormTextbausteine::showEvent(QShowEvent* event) {
    // Centred on the screen each time it is shown, at the size it has.
    const QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    if (screen && !event->spontaneous())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    QDialog::showEvent(event);
}

void TFormTextbausteine::contextMenuEvent(QContextMenuEvent* event) {
    PopupMenuDB->popup(event->globalPos());
}
