#include "snippets/SnippetGrid.h"

#include "snippets/SnippetStore.h"

#include <QHeaderView>
#include <QKeyEvent>

TSnippetGrid::TSnippetGrid(TSnippetStore& store, QWidget* parent) : QTableView(parent), FStore(store) {
    setModel(&store);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(true);
    setColumnWidth(TSnippetStore::KeyColumn, 150);
    setColumnWidth(TSnippetStore::TextColumn, 420);
    setToolTip(QStringLiteral("Einfg: neue Zeile, Strg+Entf: Zeile löschen"));
}

void TSnippetGrid::commitOpenEditor() {
    if (!isEditing())
        return;
    if (QWidget* editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void TSnippetGrid::insertRowAtCurrent() {
    const int row = currentIndex().isValid() ? currentIndex().row() : FStore.newEntryRow();
    if (!FStore.insertRows(qMin(row, FStore.newEntryRow()), 1))
        return;
    const QModelIndex key = FStore.index(qMin(row, FStore.newEntryRow() - 1), TSnippetStore::KeyColumn);
    setCurrentIndex(key);
    edit(key);
}

void TSnippetGrid::removeCurrentRow() {
    const QModelIndex current = currentIndex();
    if (!current.isValid() || current.row() >= FStore.newEntryRow())
        return;
    const int column = current.column();
    FStore.removeRows(current.row(), 1);
    setCurrentIndex(FStore.index(qMin(current.row(), FStore.newEntryRow()), column));
}

void TSnippetGrid::keyPressEvent(QKeyEvent* event) {
    if (!isEditing()) {
        if (event->key() == Qt::Key_Insert && event->modifiers() == Qt::NoModifier) {
            insertRowAtCurrent();
            return;
        }
        if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::ControlModifier) {
            removeCurrentRow();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}
