#pragma once

#include <QDialog>

// The snippet editor. It is created at start and lives for the run; its grid
// will be the live snippet store.
class TFormTextbausteine : public QDialog {
    Q_OBJECT
public:
    explicit TFormTextbausteine(QWidget* parent = nullptr);
};
