#pragma once

#include <QStatusBar>
#include <QStringList>

class QLabel;

// The status bar at the window's foot: its own background, panels with their
// own text colour, a fixed-width first panel and a last panel sized to its text.
// The first panel is 250 pixels wide, or wider where its font needs more for
// the widest of the texts it is told it shows; the bar grows with its font.
class TStatusBarPro : public QStatusBar {
    Q_OBJECT
public:
    static constexpr int kFirstPanelWidth = 250;
    static constexpr int kHeight = 19;

    explicit TStatusBarPro(QWidget* parent = nullptr);
    void setPanelText(int panel, const QString& text);
    QString panelText(int panel) const;
    QLabel* panel(int index) const;
    // The longest texts the first panel shows: it is kept wide enough for each.
    void setFirstPanelTexts(const QStringList& widest);

Q_SIGNALS:
    void fittedToFont(); // the first panel and the bar have their size for the font

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Reads the font: done when the bar is shown, not before.
    void fitToFont();

    QLabel* FPanels[2];
    QStringList FWidestTexts;
    bool FFitted = false;
};
