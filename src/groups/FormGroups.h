#pragma once

#include <QDialog>

// The group editor and its name prompt. Both are created at start and live for
// the run; the editing itself is built on the group store (GroupFile.h).
class TFormGroups : public QDialog {
    Q_OBJECT
public:
    explicit TFormGroups(QWidget* parent = nullptr);
    void SetGroupsFile(const QString& path) { FGroupsFile = path; }
    QString groupsFile() const { return FGroupsFile; }

private:
    QString FGroupsFile;
};

class TFormNewGroup : public QDialog {
    Q_OBJECT
public:
    explicit TFormNewGroup(QWidget* parent = nullptr);
};
