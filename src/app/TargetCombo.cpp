#include "app/TargetCombo.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QKeyEvent>
#include <QLineEdit>

TTargetCombo::TTargetCombo(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(16);
    setDuplicatesEnabled(true);
    view()->viewport()->installEventFilter(this);
    lineEdit()->installEventFilter(this);
    connect(this, &QComboBox::activated, this, [this] { Q_EMIT selected(); });
}

void TTargetCombo::setTargetModel(QAbstractItemModel* model) {
    setModel(model);
    // The list is sorted ignoring letter case: the completer finds a prefix by
    // binary search when asked, instead of filtering every row again whenever
    // a peer joins.
    if (QCompleter* c = completer())
        c->setModelSorting(QCompleter::CaseInsensitivelySortedModel);
    // Connected after the box's own handlers, so this runs last and restores the text.
    auto save = [this] { FSavedText = currentText(); };
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

bool TTargetCombo::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view()->viewport() && event->type() == QEvent::MouseButtonRelease)
        Q_EMIT clicked();
    else if (watched == lineEdit() && event->type() == QEvent::KeyPress)
        Q_EMIT keyPressed();
    return QComboBox::eventFilter(watched, event);
}

void TTargetCombo::keyPressEvent(QKeyEvent* event) {
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
    QComboBox::keyPressEvent(event);
}
