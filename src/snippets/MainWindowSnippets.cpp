#include "snippets/MainWindowSnippets.h"

#include "snippets/FormTextbausteine.h"
#include "snippets/SnippetExpansion.h"

TMainWindowSnippets::TMainWindowSnippets(const TSnippetStore& store, TWindow window, QObject* parent)
    : QObject(parent), FWindow(std::move(window)),
      FExpander(std::make_unique<TSnippetExpander>(store, FWindow.memoSend)) {}

TMainWindowSnippets::~TMainWindowSnippets() = default;

void TMainWindowSnippets::setEditor(TFormTextbausteine* editor) {
    FEditor = editor;
}

void TMainWindowSnippets::extbausteine1Click() {
    if (FEditor)
        FEditor->exec();
}

void TMainWindowSnippets::BitBtnTextbausteineClick() {
    if (!FEditor)
        return;
    FWindow.hide();
    FEditor->exec();
    FWindow.show();
}
