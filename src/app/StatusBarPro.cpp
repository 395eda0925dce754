#include "app/StatusBarPro.h"

#include <QEvent>
#include <QLabel>

#include <algorithm>

namespace {

// Left of a panel's text (the style sheet's padding) and a spare pixel each side.
constexpr int kTextPadding = 2 + 2;
// The bar's height beyond its panels' (the layout's margins).
constexpr int kTextLeading = 5;

// A panel at least kMinimumWidth wide and never narrower than its text.
class TStatusPanel : public QLabel {
  public:
    static constexpr int kMinimumWidth = 150;
    using QLabel::QLabel;
    QSize minimumSizeHint() const override {
        QSize size = QLabel::minimumSizeHint();
        size.setWidth(std::max(kMinimumWidth, size.width() + 2));
        return size;
    }
};

} // namespace

TStatusBarPro::TStatusBarPro(QWidget* parent) : QStatusBar(parent) {
    setFixedHeight(kHeight);
    setSizeGripEnabled(true);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(232, 232, 232));
    pal.setColor(QPalette::WindowText, QColor(136, 136, 136));
    setPalette(pal);
    setStyleSheet(QStringLiteral("QStatusBar { background: rgb(232,232,232); } QStatusBar::item { border: none; }"
                                 " QLabel { color: rgb(136,136,136); padding-left: 2px; }"));
    FPanels[0] = new QLabel(this);
    FPanels[1] = new TStatusPanel(this);
    for (QLabel* panel : FPanels)
        panel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    FPanels[0]->setFixedWidth(kFirstPanelWidth);
    addWidget(FPanels[0]);
    addWidget(FPanels[1], 1);
}

void TStatusBarPro::setFirstPanelTexts(const QStringList& widest) {
    FWidestTexts = widest;
    FFitted = false;
    if (isVisible())
        fitToFont();
}

void TStatusBarPro::changeEvent(QEvent* event) {
    QStatusBar::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        FFitted = false;
        if (isVisible())
            fitToFont();
    }
}

void TStatusBarPro::showEvent(QShowEvent* event) {
    if (!FFitted)
        fitToFont();
    QStatusBar::showEvent(event);
}

void TStatusBarPro::fitToFont() {
    const QFontMetrics metrics = fontMetrics(); // the panels have the bar's font
    int width = kFirstPanelWidth;
    for (const QString& text : FWidestTexts)
        width = std::max(width, metrics.horizontalAdvance(text) + kTextPadding);
    FPanels[0]->setFixedWidth(width);
    setFixedHeight(std::max(kHeight, metrics.height() + kTextLeading));
    FFitted = true;
    Q_EMIT fittedToFont();
}

void TStatusBarPro::setPanelText(int panel, const QString& text) {
    if (panel < 0 || panel > 1)
        return;
    FPanels[panel]->setText(text);
}

QString TStatusBarPro::panelText(int panel) const {
    return (panel >= 0 && panel <= 1) ? FPanels[panel]->text() : QString();
}

QLabel* TStatusBarPro::panel(int index) const {
    return (index >= 0 && index <= 1) ? FPanels[index] : nullptr;
}
