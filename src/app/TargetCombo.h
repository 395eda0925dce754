#pragma once

#include <QComboBox>

// The recipient box. Its list is the target list model; the typed text stays
// as it is when peers come and go (a plain QComboBox would replace it with the
// first entry when its list fills), and the box holds no current row then, so
// that it does not repaint for each peer: Up, Down and the drop-down list move
// on from the entry the text names. Typed text is completed inline with the
// first entry, in the list's order, that starts with it ignoring letter case,
// which becomes the current entry; the entries are looked up when a key is
// typed, never when peers join.
// Reports whether a choice came from the mouse or the keyboard.
class TTargetCombo : public QComboBox {
    Q_OBJECT
public:
    explicit TTargetCombo(QWidget* parent = nullptr);
    void setTargetModel(QAbstractItemModel* model);
    // The entry that completed the text typed last (empty when none did).
    QString currentCompletion() const { return FCompletion; }
    // The list opens at the entry the text names.
    void showPopup() override;

Q_SIGNALS:
    void clicked();      // a mouse choice in the drop-down list
    void keyPressed();   // a key pressed in the box
    void selected();     // an entry was chosen


protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void completeTyped(const QString& typed);
    int firstStartingWith(const QString& typed) const; // the row, or -1
    // Makes the row current (-1: none) and leaves the typed text, the cursor
    // and the selection as they are.
    void setCurrentKeepingText(int row);
    // The entry the text names (letter case counts first), or -1.
    int rowNamedByText() const;

    QString FSavedText;
    QString FCompletion;
    int FLastKey = 0;
};
