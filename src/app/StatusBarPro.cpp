#include "app/StatusBarPro.h"

#include <QLabel>

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
    for (int i = 0; i < 2; ++i) {
        FPanels[i] = new QLabel(this);
        FPanels[i]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    }
    FPanels[0]->setFixedWidth(250);
    FPanels[1]->setMinimumWidth(150);
    addWidget(FPanels[0]);
    addWidget(FPanels[1], 1);
}

void TStatusBarPro::setPanelText(int panel, const QString& text) {
    if (panel < 0 || panel > 1)
        return;
    FPanels[panel]->setText(text);
    if (panel == 1)
        FPanels[1]->setMinimumWidth(qMax(150, FPanels[1]->fontMetrics().horizontalAdvance(text) + 2));
}

QString TStatusBarPro::panelText(int panel) const {
    return (panel >= 0 && panel <= 1) ? FPanels[panel]->text() : QString();
}

QLabel* TStatusBarPro::panel(int index) const {
    return (index >= 0 && index <= 1) ? FPanels[index] : nullptr;
}
