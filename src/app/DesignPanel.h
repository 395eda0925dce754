#pragma once

#include <QFrame>
#include <QList>
#include <QRect>

// A panel whose children sit at designed positions and follow its edges as
// their anchors say, the way a form designer lays out controls.
class TDesignPanel : public QFrame {
    Q_OBJECT
public:
    enum Anchor { Left = 1, Top = 2, Right = 4, Bottom = 8 };
    Q_DECLARE_FLAGS(Anchors, Anchor)

    // `designSize` is the panel's size in the design the positions refer to.
    TDesignPanel(const QSize& designSize, const QColor& background, QWidget* parent = nullptr);
    void place(QWidget* child, const QRect& designRect, Anchors anchors = Anchors(Left | Top));
    // Gives a placed child another designed size (a label that sizes itself to its text).
    void resizePlaced(QWidget* child, const QSize& size);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Placement {
        QWidget* widget;
        QRect rect;
        Anchors anchors;
    };
    QRect geometryFor(const Placement& p) const;

    QSize FDesignSize;
    QList<Placement> FPlacements;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TDesignPanel::Anchors)
