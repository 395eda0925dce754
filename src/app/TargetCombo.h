#pragma once

#include <QComboBox>

// The recipient box. Its list is the target list model; the typed text stays
// as it is when peers come and go (a plain QComboBox would replace it with the
// first entry when its list fills). Reports whether a choice came from the
// mouse or the keyboard.
class TTargetCombo : public QComboBox {
    Q_OBJECT
public:
    explicit TTargetCombo(QWidget* parent = nullptr);
    void setTargetModel(QAbstractItemModel* model);

Q_SIGNALS:
    void clicked();      // a mouse choice in the drop-down list
    void keyPressed();   // a key pressed in the box
    void selected();     // an entry was chosen

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString FSavedText;
};
