#pragma once

#include <QKeySequenceEdit>

// A hot-key field: holds one key combination, shown and stored as a shortcut
// code (see ShortcutCode.h). A new combination replaces the old one; what the
// field shows is always what its code means (a key without a virtual-key code,
// or a modifier alone such as the Windows key, leaves the field as it was; the
// Meta key is dropped from a combination).
class THotKeyEdit : public QKeySequenceEdit {
    Q_OBJECT
  public:
    explicit THotKeyEdit(QWidget* parent = nullptr);

    quint16 shortcutCode() const;
    void setShortcutCode(quint16 code);

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    static QKeyCombination lastTyped(const QKeySequence& typed, const QKeyEvent& event);
    void showEvent(QShowEvent* event) override;
};
