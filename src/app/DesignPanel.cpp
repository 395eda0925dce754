#include "app/DesignPanel.h"

#include <QResizeEvent>

TDesignPanel::TDesignPanel(const QSize& designSize, const QColor& background, QWidget* parent)
    : QFrame(parent), FDesignSize(designSize) {
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, background);
    setPalette(pal);
}

void TDesignPanel::place(QWidget* child, const QRect& designRect, Anchors anchors) {
    child->setParent(this);
    FPlacements.append({child, designRect, anchors});
    child->setGeometry(geometryFor(FPlacements.back()));
}

void TDesignPanel::resizePlaced(QWidget* child, const QSize& size) {
    for (Placement& p : FPlacements) {
        if (p.widget == child) {
            p.rect.setSize(size);
            child->setGeometry(geometryFor(p));
        }
    }
}

QRect TDesignPanel::geometryFor(const Placement& p) const {
    const int dw = width() - FDesignSize.width();
    const int dh = height() - FDesignSize.height();
    QRect r = p.rect;
    if (p.anchors & Right) {
        if (p.anchors & Left)
            r.setWidth(qMax(0, r.width() + dw));
        else
            r.moveLeft(r.left() + dw);
    }
    if (p.anchors & Bottom) {
        if (p.anchors & Top)
            r.setHeight(qMax(0, r.height() + dh));
        else
            r.moveTop(r.top() + dh);
    }
    return r;
}

void TDesignPanel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    for (const Placement& p : FPlacements)
        p.widget->setGeometry(geometryFor(p));
}
