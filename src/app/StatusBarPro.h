#pragma once

#include <QStatusBar>

class QLabel;

// The status bar at the window's foot: its own background, panels with their
// own text colour, a fixed-width first panel and a last panel sized to its text.
class TStatusBarPro : public QStatusBar {
    Q_OBJECT
public:
    explicit TStatusBarPro(QWidget* parent = nullptr);
    void setPanelText(int panel, const QString& text);
    QString panelText(int panel) const;
    QLabel* panel(int index) const;

private:
    QLabel* FPanels[2];
};
