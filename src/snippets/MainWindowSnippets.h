#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QPlainTextEdit;
class TFormTextbausteine;
class TSnippetExpander;
class TSnippetStore;

// What the snippets bring to the main window: the F3 expansion in its message
// editor, and the tray-menu item and the button that open the snippet editor.
class TMainWindowSnippets : public QObject {
    Q_OBJECT
  public:
    struct TWindow {
        QPlainTextEdit* memoSend;
        std::function<void()> hide; // the main window goes to the tray
        std::function<void()> show; // the main window comes back
    };

    TMainWindowSnippets(const TSnippetStore& store, TWindow window, QObject* parent = nullptr);
    ~TMainWindowSnippets() override;

    // The snippet editor, built by the function when it is first needed.
    void setEditor(std::function<TFormTextbausteine*()> editor);

    // Tray menu "Textbausteine": the snippet editor, modally.
    void extbausteine1Click();
    // Button "&Textbausteine": the main window hides while the snippet editor is
    // shown modally, and shows again when it closes, with the focus in the editor.
    void BitBtnTextbausteineClick();

  private:
    TWindow FWindow;
    std::function<TFormTextbausteine*()> FEditor;
    TFormTextbausteine* editor() const;
    std::unique_ptr<TSnippetExpander> FExpander;
};
