#include "snippets/MainWindowSnippets.h"

#include "snippets/FormTextbausteine.h"
#include "snippets/SnippetExpansion.h"

#include <QPlainTextEdit>

TMainWindowSnippets::TMainWindowSnippets(const TSnippetStore& store, TWindow window, QObject* parent)
    : QObject(parent), FWindow(std::move(window)),
      FExpander(std::make_unique<TSnippetExpander>(store, FWindow.memoSend)) {}

TMainWindowSnippets::~TMainWindowSnippets() = default;

void TMainWindowSnippets::setEditor(std::function<TFormTextbausteine*()> editor) {
    FEditor = std::move(editor);
}

TFormTextbausteine* TMainWindowSnippets::editor() const {
    return FEditor ? FEditor() : nullptr;
}

void TMainWindowSnippets::extbausteine1Click() {
    if (TFormTextbausteine* form = editor())
        form->exec();
}

void TMainWindowSnippets::BitBtnTextbausteineClick() {
    TFormTextbausteine* form = editor();
    if (!form)
        return;
    FWindow.hide();
    form->exec();
    FWindow.show();
    // The focus goes back to the editor, not to the button that opened the
    // snippet editor (the next blank typed would press it again).
    FWindow.memoSend->setFocus(Qt::OtherFocusReason);
}
