#include "app/TargetCombo.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>

TTargetCombo::TTargetCombo(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(16);
    setDuplicatesEnabled(true);
    // A stock completer over the model reads rows whenever peers join and
    // expects an order the German sorting does not have.
    setCompleter(nullptr);
    connect(lineEdit(), &QLineEdit::textEdited, this, &TTargetCombo::completeTyped);
    view()->viewport()->installEventFilter(this);
    lineEdit()->installEventFilter(this);
    connect(this, &QComboBox::activated, this, [this] { Q_EMIT selected(); });
}

void TTargetCombo::setTargetModel(QAbstractItemModel* model) {
    setModel(model);
    // Connected after the box's own handlers, so this runs last and restores the text.
    auto save = [this] {
        // The box holds no current row while peers come and go: an entry
        // joining above it would move it, and the box would repaint for every
        // one. Up, Down and the list find the row again from the text.
        setCurrentKeepingText(-1);
        FSavedText = currentText();
    };
    auto restore = [this] {
        if (currentText() != FSavedText)
            setEditText(FSavedText);
    };
    connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this, save);
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, save);
    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, save);
    connect(model, &QAbstractItemModel::rowsInserted, this, restore);
    connect(model, &QAbstractItemModel::rowsRemoved, this, restore);
    connect(model, &QAbstractItemModel::modelReset, this, restore);
    setCurrentIndex(-1);
    setEditText(QString());
}

void TTargetCombo::completeTyped(const QString& typed) {
    FCompletion.clear();
    // Deleting never completes, nor typing anywhere but at the end.
    const bool completing = !typed.isEmpty() && FLastKey != Qt::Key_Backspace && FLastKey != Qt::Key_Delete &&
                            lineEdit()->cursorPosition() == typed.size();
    const int row = completing ? firstStartingWith(typed) : -1;
    if (row < 0) {
        // The current entry is the one the text names, if any, so that Down
        // and Up never move on from an entry the text no longer stands for.
        setCurrentKeepingText(findText(typed, Qt::MatchFixedString));
        return;
    }
    FCompletion = itemText(row);
    // The completed entry becomes current, so that Down and Up move on from it.
    setCurrentKeepingText(row);
    // The user's text stays as typed; the rest of the entry follows, selected,
    // so that the next key typed replaces it.
    const qsizetype rest = FCompletion.size() - typed.size();
    lineEdit()->setText(typed + FCompletion.right(rest));
    lineEdit()->setSelection(int(typed.size()), int(rest));
}

void TTargetCombo::setCurrentKeepingText(int row) {
    if (currentIndex() == row)
        return;
    QLineEdit* edit = lineEdit();
    const QString text = edit->text();
    const int cursor = edit->cursorPosition();
    const int selected = edit->selectionStart();
    const int selectedLength = edit->selectionLength();
    setCurrentIndex(row);
    if (edit->text() != text) {
        edit->setText(text);
        if (selected >= 0)
            edit->setSelection(selected, selectedLength);
        else
            edit->setCursorPosition(cursor);
    }
}

int TTargetCombo::rowNamedByText() const {
    const QString text = currentText();
    if (text.isEmpty())
        return -1;
    const int exact = findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    return exact >= 0 ? exact : findText(text, Qt::MatchFixedString);
}

void TTargetCombo::showPopup() {
    setCurrentKeepingText(rowNamedByText());
    QComboBox::showPopup();
}

int TTargetCombo::firstStartingWith(const QString& typed) const {
    const QAbstractItemModel* list = model();
    const int rows = list->rowCount();
    for (int row = 0; row < rows; ++row) {
        const QString entry = list->index(row, modelColumn()).data(Qt::EditRole).toString();
        if (entry.startsWith(typed, Qt::CaseInsensitive))
            return row;
    }
    return -1;
}

bool TTargetCombo::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view()->viewport() && event->type() == QEvent::MouseButtonRelease) {
        Q_EMIT clicked();
    } else if (watched == lineEdit() && event->type() == QEvent::KeyPress) {
        FLastKey = static_cast<QKeyEvent*>(event)->key();
        Q_EMIT keyPressed();
    }
    return QComboBox::eventFilter(watched, event);
}

void TTargetCombo::keyPressEvent(QKeyEvent* event) {
    FLastKey = event->key();
    Q_EMIT keyPressed();
    // From an empty box, Down chooses the first entry (the box's own step would
    // go from the entry it still holds as current to the one after it).
    if (event->key() == Qt::Key_Down && event->modifiers() == Qt::NoModifier && currentText().isEmpty() &&
        count() > 0) {
        setCurrentIndex(0);
        Q_EMIT activated(0);
        event->accept();
        return;
    }
    // Up and Down move on from the entry the text names.
    if ((event->key() == Qt::Key_Down || event->key() == Qt::Key_Up || event->key() == Qt::Key_PageDown ||
         event->key() == Qt::Key_PageUp) &&
        !(event->modifiers() & (Qt::AltModifier | Qt::ControlModifier)))
        setCurrentKeepingText(rowNamedByText());
    QComboBox::keyPressEvent(event);
}
