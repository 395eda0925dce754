#include "app/DesignPanel.h"

#include <QEvent>
#include <QResizeEvent>

#include <algorithm>

namespace {

bool sameRow(const QRect& a, const QRect& b) {
    return a.top() <= b.bottom() && b.top() <= a.bottom();
}

bool rightAnchored(TDesignPanel::Anchors anchors) {
    return (anchors & TDesignPanel::Right) && !(anchors & TDesignPanel::Left);
}

} // namespace

TDesignPanel::TDesignPanel(const QSize& designSize, const QColor& background, QWidget* parent)
    : QFrame(parent), FDesignSize(designSize) {
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, background);
    setPalette(pal);
}

void TDesignPanel::place(QWidget* child, const QRect& designRect, Anchors anchors, Sizing sizing) {
    child->setParent(this);
    FPlacements.append({child, designRect, anchors, sizing});
    relayout();
}

QList<QRect> TDesignPanel::layoutAt(const QSize& size) const {
    const int dw = size.width() - FDesignSize.width();
    const int dh = size.height() - FDesignSize.height();
    QList<QRect> rects;
    rects.reserve(FPlacements.size());
    for (const Placement& p : FPlacements) {
        QRect r = p.rect;
        if (p.sizing == Sizing::GrowsWithContent) {
            const QSize hint = p.widget->sizeHint();
            r.setWidth(std::max(r.width(), hint.width()));
            r.setHeight(std::max(r.height(), hint.height()));
            if (rightAnchored(p.anchors))
                r.moveRight(p.rect.right());
        }
        rects << r;
    }
    // Growing children push down what lies below them.
    for (int i = 0; i < FPlacements.size(); ++i) {
        int push = 0;
        for (int j = 0; j < FPlacements.size(); ++j) {
            if (FPlacements[j].sizing == Sizing::GrowsWithContent && FPlacements[j].rect.bottom() < FPlacements[i].rect.top())
                push = std::max(push, rects[j].height() - FPlacements[j].rect.height());
        }
        rects[i].setTop(rects[i].top() + push);
        if (!(FPlacements[i].anchors & Bottom) || !(FPlacements[i].anchors & Top))
            rects[i].moveTop(FPlacements[i].rect.top() + push);
    }
    // A growing child anchored on the right moves its neighbours on the left
    // that are anchored on the right as well, keeping the designed gap.
    QList<int> order;
    for (int i = 0; i < FPlacements.size(); ++i) {
        if (rightAnchored(FPlacements[i].anchors))
            order << i;
    }
    std::sort(order.begin(), order.end(),
              [this](int a, int b) { return FPlacements[a].rect.right() > FPlacements[b].rect.right(); });
    for (int k = 0; k < order.size(); ++k) {
        const int i = order[k];
        for (int m = 0; m < k; ++m) {
            const int j = order[m];
            const QRect& left = FPlacements[i].rect;
            const QRect& right = FPlacements[j].rect;
            if (!sameRow(left, right) || left.right() >= right.left())
                continue;
            const int limit = rects[j].left() - (right.left() - left.right());
            if (rects[i].right() > limit)
                rects[i].moveRight(limit);
        }
    }
    // Then the edges follow the panel's.
    for (int i = 0; i < FPlacements.size(); ++i) {
        const Anchors anchors = FPlacements[i].anchors;
        QRect& r = rects[i];
        if (anchors & Right) {
            if (anchors & Left)
                r.setWidth(std::max(0, r.width() + dw));
            else
                r.moveLeft(r.left() + dw);
        }
        if (anchors & Bottom) {
            if (anchors & Top)
                r.setHeight(std::max(0, r.height() + dh));
            else
                r.moveTop(r.top() + dh);
        }
    }
    return rects;
}

int TDesignPanel::requiredWidth() const {
    // Right-anchored children keep their distance from the right edge: the
    // panel is wide enough when each of them clears every growing child on
    // its left that stays on the left.
    const QList<QRect> rects = layoutAt(FDesignSize);
    int width = 0;
    for (int i = 0; i < FPlacements.size(); ++i) {
        if (FPlacements[i].sizing != Sizing::GrowsWithContent || (FPlacements[i].anchors & Right))
            continue;
        for (int j = 0; j < FPlacements.size(); ++j) {
            if (!rightAnchored(FPlacements[j].anchors) || !sameRow(rects[i], rects[j]) ||
                FPlacements[i].rect.left() > FPlacements[j].rect.left())
                continue;
            const int fromRight = FDesignSize.width() - rects[j].left();
            width = std::max(width, rects[i].right() + 1 + kSpacing + fromRight);
        }
    }
    return width;
}

int TDesignPanel::requiredHeight() const {
    const QList<QRect> rects = layoutAt(FDesignSize);
    int height = 0;
    for (int i = 0; i < FPlacements.size(); ++i) {
        const int below = FDesignSize.height() - 1 - FPlacements[i].rect.bottom();
        height = std::max(height, rects[i].bottom() + 1 + std::max(0, below));
    }
    return height;
}

void TDesignPanel::relayout() {
    if (!isVisible()) {
        FLayoutPending = true;
        return;
    }
    FLayoutPending = false;
    const QList<QRect> rects = layoutAt(size());
    for (int i = 0; i < FPlacements.size(); ++i)
        FPlacements[i].widget->setGeometry(rects[i]);
}

void TDesignPanel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    relayout();
}

bool TDesignPanel::event(QEvent* event) {
    // A child's size hint changed (its text or font), or the panel is shown
    // with its children not laid out yet.
    const bool changed = (event->type() == QEvent::LayoutRequest && isVisible()) ||
                         (event->type() == QEvent::Show && FLayoutPending);
    if (event->type() == QEvent::LayoutRequest && !isVisible())
        FLayoutPending = true;
    if (changed) {
        relayout();
        Q_EMIT contentChanged();
    }
    return QFrame::event(event);
}
