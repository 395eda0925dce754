#pragma once

#include "platform/MessageBoxes.h"

#include <QMessageBox>

class QWidget;

// Message boxes shown with QMessageBox, above the main window and above any
// modal window in front of it (ModalWindows). Every text shown is also written
// to the logging category palavero.boxes.
class TWidgetMessageBoxes : public IMessageBoxes {
public:
    void setParentWindow(QWidget* parent) { FParent = parent; }
    void show(const QString& text, Icon icon, const QString& caption) override;
    bool ask(const QString& caption, const QString& text, Icon icon) override;

private:
    int exec(Icon icon, const QString& caption, const QString& text, QMessageBox::StandardButtons buttons);

    QWidget* FParent = nullptr;
};
