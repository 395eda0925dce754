#pragma once

#include <QKeySequenceEdit>

// A hot-key field: holds one key combination, shown and stored as a shortcut
// code (see ShortcutCode.h). A new combination replaces the old one; what the
// field shows is always what its code means (keys without a virtual-key code
// leave it empty, the Meta key is dropped).
class THotKeyEdit : public QKeySequenceEdit {
    Q_OBJECT
  public:
    explicit THotKeyEdit(QWidget* parent = nullptr);

    quint16 shortcutCode() const;
    void setShortcutCode(quint16 code);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
};
