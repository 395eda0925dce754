#pragma once

#include <QDialog>

#include <functional>

class IMessageBoxes;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QStatusBar;
class TSnippetGrid;
class TSnippetStore;

// The snippet editor "Textbausteine". Its grid shows and edits the live snippet
// store, so that every change counts for F3 at once; only "Speichern" writes the
// snippet file. Closing neither saves nor asks.
class TFormTextbausteine : public QDialog {
    Q_OBJECT
  public:
    enum class FileDialogKind { Open, Save };
    // Asks for an .ini file to import (Open) or to export to (Save); returns its
    // full name, empty when the user cancels.
    using TFileChooser = std::function<QString(QWidget* parent, FileDialogKind kind)>;

    static const QString kStatusText; // "Kurztext + F3  im Hauptfenster"

    TFormTextbausteine(TSnippetStore& store, IMessageBoxes& boxes, QWidget* parent = nullptr);

    QByteArray LookupSnippet(const QByteArray& key) const;

    // "Speichern": writes the grid to the snippet file; a failure is shown with
    // the file and the reason, the grid stays as it is.
    void BitBtnSaveClick();
    // "Import": loads a chosen file into the grid (the snippet file is not
    // written); a file that cannot be read is shown and leaves the grid as it was.
    void Import1Click();
    // "Export": writes the grid to a chosen file; a failure is shown.
    void Export1Click();
    // "Schließen": closes with the Cancel result.
    void Schlien1Click();
    // Ctrl+I: the snippet file's full path in the status line, for the rest of the run.
    void ShowSnippetFilePath();

    void setFileChooser(TFileChooser chooser);
    QString statusText() const;

    // The designed controls.
    TSnippetGrid* ValueListEditorTB = nullptr;
    QWidget* PanelBottom = nullptr;
    QPushButton* BitBtnSave = nullptr;
    QPushButton* BitBtnClose = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QMenu* PopupMenuDB = nullptr;
    QAction* Import1 = nullptr;
    QAction* Export1 = nullptr;
    QAction* Schlien1 = nullptr;
    QAction* ShowPath1 = nullptr;

    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void createControls();
    void showFailure(const QString& what, const QString& path, const QString& reason);

    TSnippetStore& FStore;
    IMessageBoxes& FBoxes;
    TFileChooser FChooseFile;
    QLabel* FStatusLabel = nullptr;
};
