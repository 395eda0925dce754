#include "settings/FormOptions.h"

#include "core/AppTitle.h"
#include "platform/Autostart.h"
#include "platform/MessageBoxes.h"
#include "platform/UiFont.h"
#include "settings/AutostartRule.h"
#include "settings/HotKeyEdit.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

// The design-time contents that the load at start replaces.
const QString kDesignSoundFile = QStringLiteral("C:\\windows\\Media\\chimes.wav");
constexpr quint16 kDesignShortcut = 16506; // Ctrl+F11

QString chooseWithDialog(QWidget* parent, const QString& current) {
    QFileDialog dialog(parent);
    dialog.setDirectory(TFormOptions::soundFileFolder(current));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QStringLiteral("Sound file (*.wav)"));
    dialog.setDefaultSuffix(QStringLiteral("wav"));
    if (!current.isEmpty())
        dialog.selectFile(current);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString TFormOptions::soundFileFolder(const QString& current) {
    if (!current.isEmpty()) {
        const QFileInfo file(current);
        if (file.isAbsolute() && file.absoluteDir().exists())
            return file.absolutePath();
    }
    return QDir::homePath();
}

TFormOptions::TFormOptions(IAutostart& autostart, IMessageBoxes& boxes, const QString& executablePath,
                           QWidget* parent, const QString& settingsFilePath)
    : QDialog(parent), FAutostart(autostart), FBoxes(boxes), FExecutablePath(executablePath),
      FTitle(AppTitle::fromExecutable(executablePath)), FStore(settingsFilePath),
      FChooseSoundFile(chooseWithDialog) {
    setObjectName(QStringLiteral("FormOptions"));
    setWindowTitle(QStringLiteral("Einstellungen"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    createControls();
    QFont dialogFont = UiFont::font();
    dialogFont.setPointSize(9);
    setFont(dialogFont);
    setFixedSize(321, 255);
}

void TFormOptions::createControls() {
    auto named = [](QWidget* w, const char* name) {
        w->setObjectName(QLatin1String(name));
        return w;
    };

    GroupBoxOptions = new QFrame(this);
    named(GroupBoxOptions, "GroupBoxOptions");
    GroupBoxOptions->setFrameShape(QFrame::StyledPanel);
    GroupBoxOptions->setFrameShadow(QFrame::Sunken);

    CheckBoxRun =
        new QCheckBox(QStringLiteral("Programm beim Start von Windows aktivieren"), GroupBoxOptions);
    named(CheckBoxRun, "CheckBoxRun");
    CheckBoxBeep = new QCheckBox(QStringLiteral("Ton bei Nachrichteneingang ausgeben"), GroupBoxOptions);
    named(CheckBoxBeep, "CheckBoxBeep");
    CheckBoxSound = new QCheckBox(QStringLiteral("Sound bei Nachrichteneingang abspielen"), GroupBoxOptions);
    named(CheckBoxSound, "CheckBoxSound");
    EditFileNameSound = new QLineEdit(kDesignSoundFile, GroupBoxOptions);
    named(EditFileNameSound, "EditFileNameSound");
    EditFileNameSound->setAccessibleName(QStringLiteral("Sounddatei"));
    BitBtnSelectSound = new QPushButton(QStringLiteral("..."), GroupBoxOptions);
    named(BitBtnSelectSound, "BitBtnSelectSound");
    BitBtnSelectSound->setAccessibleName(QStringLiteral("Sounddatei auswählen"));
    BitBtnSelectSound->setFixedWidth(25);
    BitBtnSelectSound->setAutoDefault(false);
    CheckBoxHistory = new QCheckBox(QStringLiteral("History speichern"), GroupBoxOptions);
    named(CheckBoxHistory, "CheckBoxHistory");
    CheckBoxScreensaver =
        new QCheckBox(QStringLiteral("Shortcut für Bildschirmschoner verwenden"), GroupBoxOptions);
    named(CheckBoxScreensaver, "CheckBoxScreensaver");
    HotKeyScreensaver = new THotKeyEdit(GroupBoxOptions);
    named(HotKeyScreensaver, "HotKeyScreensaver");
    HotKeyScreensaver->setAccessibleName(QStringLiteral("Shortcut für Bildschirmschoner"));
    for (QLineEdit* field : HotKeyScreensaver->findChildren<QLineEdit*>()) // the field a reader enters
        field->setAccessibleName(HotKeyScreensaver->accessibleName());
    HotKeyScreensaver->setShortcutCode(kDesignShortcut);

    auto* fileRow = new QHBoxLayout;
    fileRow->setContentsMargins(18, 0, 0, 0);
    fileRow->addWidget(EditFileNameSound);
    fileRow->addWidget(BitBtnSelectSound);
    auto* hotKeyRow = new QHBoxLayout;
    hotKeyRow->setContentsMargins(18, 0, 0, 0);
    hotKeyRow->addWidget(HotKeyScreensaver);

    auto* frameLayout = new QVBoxLayout(GroupBoxOptions);
    frameLayout->addWidget(CheckBoxRun);
    frameLayout->addWidget(CheckBoxBeep);
    frameLayout->addWidget(CheckBoxSound);
    frameLayout->addLayout(fileRow);
    frameLayout->addWidget(CheckBoxHistory);
    frameLayout->addWidget(CheckBoxScreensaver);
    frameLayout->addLayout(hotKeyRow);
    frameLayout->addStretch(1);

    BitBtnOk = new QPushButton(QStringLiteral("OK"), this);
    named(BitBtnOk, "BitBtnOk");
    BitBtnOk->setDefault(true);
    BitBtn1 = new QPushButton(QStringLiteral("Abbrechen"), this);
    named(BitBtn1, "BitBtn1");
    BitBtn1->setAutoDefault(false);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(BitBtnOk);
    buttonRow->addWidget(BitBtn1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(GroupBoxOptions, 1);
    layout->addLayout(buttonRow);

    connect(BitBtnOk, &QPushButton::clicked, this, &TFormOptions::BitBtnOkClick);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    connect(BitBtnSelectSound, &QPushButton::clicked, this, &TFormOptions::BitBtnSelectSoundClick);
}

void TFormOptions::setSoundFileChooser(TSoundFileChooser chooser) {
    FChooseSoundFile = std::move(chooser);
}

TSettingsValues TFormOptions::controlValues() const {
    TSettingsValues values;
    values.beep = beepEnabled();
    values.sound = soundEnabled();
    values.soundFile = soundFileName();
    values.history = historyEnabled();
    values.screenSaver = screenSaverEnabled();
    values.shortcut = screenSaverShortcut();
    return values;
}

void TFormOptions::applyValues(const TSettingsValues& values) {
    CheckBoxBeep->setChecked(values.beep);
    CheckBoxSound->setChecked(values.sound);
    EditFileNameSound->setText(values.soundFile);
    CheckBoxHistory->setChecked(values.history);
    CheckBoxScreensaver->setChecked(values.screenSaver);
    HotKeyScreensaver->setShortcutCode(values.shortcut);
}

void TFormOptions::LoadSettings() {
    // The store reads into a copy of the controls, so that the values a failed
    // read does not reach keep the controls' contents.
    TSettingsValues values = controlValues();
    FStore.load(values);
    applyValues(values);

    const QString stored = FAutostart.read(FTitle);
    if (!stored.isEmpty())
        CheckBoxRun->setChecked(AutostartRule::showsTicked(stored, FExecutablePath));
}

void TFormOptions::SaveSettings() {
    FSettingsSaved = FStore.save(*this);
}

void TFormOptions::FormShow() {
    CheckBoxRun->setChecked(AutostartRule::showsTicked(FAutostart.read(FTitle), FExecutablePath));
}

void TFormOptions::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
        FormShow();
    }
    QDialog::showEvent(event);
}

void TFormOptions::BitBtnOkClick() {
    SaveSettings();
    updateAutostart();
    accept();
}

void TFormOptions::updateAutostart() {
    using AutostartRule::TOkAction;
    const QString stored = CheckBoxRun->isChecked() ? QString() : FAutostart.read(FTitle);
    QString command;
    switch (AutostartRule::onOk(CheckBoxRun->isChecked(), stored, FExecutablePath)) {
    case TOkAction::WritePath:
        command = FExecutablePath;
        break;
    case TOkAction::Nothing:
        return;
    case TOkAction::Remove:
        break;
    case TOkAction::Ask:
        if (!FBoxes.ask(AutostartRule::questionCaption(), AutostartRule::questionText(stored)))
            return;
        break;
    }
    if (!FAutostart.write(FTitle, command))
        FBoxes.show(AutostartRule::writeFailureText(command.isEmpty(), FSettingsSaved),
                    IMessageBoxes::Icon::Error);
}

void TFormOptions::BitBtnSelectSoundClick() {
    if (!FChooseSoundFile)
        return;
    const QString chosen = FChooseSoundFile(this, EditFileNameSound->text());
    if (!chosen.isEmpty())
        EditFileNameSound->setText(chosen);
}

bool TFormOptions::beepEnabled() const {
    return CheckBoxBeep->isChecked();
}

bool TFormOptions::soundEnabled() const {
    return CheckBoxSound->isChecked();
}

QString TFormOptions::soundFileName() const {
    return EditFileNameSound->text();
}

bool TFormOptions::historyEnabled() const {
    return CheckBoxHistory->isChecked();
}

bool TFormOptions::screenSaverEnabled() const {
    return CheckBoxScreensaver->isChecked();
}

quint16 TFormOptions::screenSaverShortcut() const {
    return HotKeyScreensaver->shortcutCode();
}
