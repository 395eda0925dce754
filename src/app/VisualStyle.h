#pragma once

#include <QObject>
#include <QString>

class QApplication;

// The program's style sheet, set on the application just before its first
// window or dialog is shown (and by apply(), for a menu about to be shown
// first). Until then no widget goes through the style sheet's rules, so that a
// program that stays in the tray keeps neither their code nor their caches in
// memory. Every window looks as with the style sheet set from the start: it is
// set before the first one is laid out.
class TVisualStyle : public QObject {
    Q_OBJECT
  public:
    // Watches the application until the style sheet is set; an empty sheet is never set.
    TVisualStyle(QApplication& app, QString styleSheet);

  public Q_SLOTS:
    void apply();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QApplication& FApp;
    QString FStyleSheet;
    bool FApplied = false;
};
