#pragma once

#include "settings/LiveSettings.h"
#include "settings/SettingsStore.h"

#include <QDialog>

#include <functional>

class IAutostart;
class IMessageBoxes;
class QCheckBox;
class QFrame;
class QLineEdit;
class QPushButton;
class THotKeyEdit;

// The options dialog "Einstellungen". Built when first opened and kept for the
// rest of the run: from then on its controls are the live settings that the
// rest of the program reads. Only OK writes them out; Cancel keeps what was changed in force for
// this run without writing it.
class TFormOptions : public QDialog, public ILiveSettings {
    Q_OBJECT
  public:
    // Asks for the sound file; returns the chosen file's full name, empty when cancelled.
    using TSoundFileChooser = std::function<QString(QWidget* parent, const QString& current)>;

    TFormOptions(IAutostart& autostart, IMessageBoxes& boxes, const QString& executablePath,
                 QWidget* parent = nullptr,
                 const QString& settingsFilePath = TSettingsStore::defaultFilePath());

    // Fills the six controls from the settings file (a failure stops silently;
    // controls not reached keep their contents) and CheckBoxRun from the autostart entry.
    void LoadSettings();
    // Puts the values into the six controls (the settings read before the dialog was built).
    void setValues(const TSettingsValues& values) { applyValues(values); }
    // Writes the six controls to the settings file; a failure is silent.
    void SaveSettings();
    // Refreshes CheckBoxRun from the autostart entry; runs each time the dialog is shown.
    void FormShow();
    // OK: SaveSettings, then the autostart entry, then the dialog closes with the OK result.
    void BitBtnOkClick();
    // "...": lets the user choose the sound file.
    void BitBtnSelectSoundClick();

    // The folder the sound-file dialog opens in: that of the current file, else
    // the home folder (also when the current name has no folder that exists).
    static QString soundFileFolder(const QString& current);
    // Replaces the file chooser (tests answer it without a dialog).
    void setSoundFileChooser(TSoundFileChooser chooser);

    QString applicationTitle() const { return FTitle; }
    QString executablePath() const { return FExecutablePath; }
    const TSettingsStore& store() const { return FStore; }

    // ILiveSettings: the controls' current state.
    bool beepEnabled() const override;
    bool soundEnabled() const override;
    QString soundFileName() const override;
    bool historyEnabled() const override;
    bool screenSaverEnabled() const override;
    quint16 screenSaverShortcut() const override;

    // The designed controls.
    QFrame* GroupBoxOptions = nullptr;
    QCheckBox* CheckBoxRun = nullptr;
    QCheckBox* CheckBoxBeep = nullptr;
    QCheckBox* CheckBoxSound = nullptr;
    QLineEdit* EditFileNameSound = nullptr;
    QPushButton* BitBtnSelectSound = nullptr;
    QCheckBox* CheckBoxHistory = nullptr;
    QCheckBox* CheckBoxScreensaver = nullptr;
    THotKeyEdit* HotKeyScreensaver = nullptr;
    QPushButton* BitBtnOk = nullptr;
    QPushButton* BitBtn1 = nullptr;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void createControls();
    TSettingsValues controlValues() const;
    void applyValues(const TSettingsValues& values);
    void updateAutostart();

    IAutostart& FAutostart;
    IMessageBoxes& FBoxes;
    const QString FExecutablePath;
    const QString FTitle;
    const TSettingsStore FStore;
    TSoundFileChooser FChooseSoundFile;
    bool FSettingsSaved = false; // the outcome of the last SaveSettings
};
