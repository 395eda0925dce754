#include "app/StatusBarPro.h"

#include <QLabel>

#include <algorithm>

namespace {

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
    setFixedHeight(19);
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
    FPanels[0]->setFixedWidth(250);
    addWidget(FPanels[0]);
    addWidget(FPanels[1], 1);
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
