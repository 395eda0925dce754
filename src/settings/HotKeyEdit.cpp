#include "settings/HotKeyEdit.h"

#include "settings/ShortcutCode.h"

#include <QKeyEvent>

THotKeyEdit::THotKeyEdit(QWidget* parent) : QKeySequenceEdit(parent) {}

void THotKeyEdit::showEvent(QShowEvent* event) {
    // The clear button's picture is loaded when the field is first shown, not
    // when the dialog is built at start-up.
    if (!isClearButtonEnabled())
        setClearButtonEnabled(true);
    QKeySequenceEdit::showEvent(event);
}

quint16 THotKeyEdit::shortcutCode() const {
    const QKeySequence sequence = keySequence();
    return sequence.isEmpty() ? 0 : ShortcutCode::fromKeyCombination(sequence[0]);
}

void THotKeyEdit::setShortcutCode(quint16 code) {
    const QKeyCombination combination = ShortcutCode::toKeyCombination(code);
    setKeySequence(combination.key() == Qt::Key(0) ? QKeySequence() : QKeySequence(combination));
}

void THotKeyEdit::keyPressEvent(QKeyEvent* event) {
    const quint16 before = shortcutCode();
    QKeySequenceEdit::keyPressEvent(event);
    const QKeySequence typed = keySequence();
    // The base class empties the field at the first key, also at a modifier
    // alone (the Windows key) or a key without a code: the field then keeps
    // the combination it had.
    const quint16 code = typed.isEmpty() ? 0 : ShortcutCode::fromKeyCombination(lastTyped(typed, *event));
    if (code == 0) {
        setShortcutCode(before);
        return;
    }
    setShortcutCode(code);
    // The field holds one combination: typing is over.
    Q_EMIT editingFinished();
}

QKeyCombination THotKeyEdit::lastTyped(const QKeySequence& typed, const QKeyEvent& event) {
    // The combination just typed, with the keypad flag that the base class drops.
    QKeyCombination last = typed[typed.count() - 1];
    if (event.modifiers().testFlag(Qt::KeypadModifier) && last.key() == Qt::Key(event.key()))
        last = QKeyCombination(last.keyboardModifiers() | Qt::KeypadModifier, last.key());
    return last;
}
