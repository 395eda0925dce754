#pragma once

#include <QTableView>

class TSnippetStore;

// The snippet editor's grid: key and text columns over the live store. Insert
// adds an empty row before the current one, Ctrl+Del removes the current row;
// the empty row at the end takes a new entry.
class TSnippetGrid : public QTableView {
    Q_OBJECT
  public:
    explicit TSnippetGrid(TSnippetStore& store, QWidget* parent = nullptr);

    // Hands an open cell editor's text to the store and closes the editor, so
    // that a close or a save by keyboard loses nothing that was typed.
    void commitOpenEditor();
    bool isEditing() const { return state() == QAbstractItemView::EditingState; }
    void insertRowAtCurrent();
    void removeCurrentRow();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    TSnippetStore& FStore;
};
