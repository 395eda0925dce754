#pragma once

#include <QFrame>
#include <QList>
#include <QRect>

// A panel whose children sit at designed positions and follow its edges as
// their anchors say, the way a form designer lays out controls. A child placed
// as growing with its content (a button with its text) is never smaller than
// its size hint: it grows away from its anchored edge, moves neighbours in its
// row that are anchored on the same side out of its way, and pushes what lies
// below it down. requiredWidth() and requiredHeight() tell how small the panel
// may get before growing children would overlap.
//
// Children are laid out while the panel is visible: until it is first shown no
// size hint is asked for, so that no font is loaded for a window that is not
// shown.
class TDesignPanel : public QFrame {
    Q_OBJECT
public:
    enum Anchor { Left = 1, Top = 2, Right = 4, Bottom = 8 };
    Q_DECLARE_FLAGS(Anchors, Anchor)
    enum class Sizing { Fixed, GrowsWithContent };

    // The least room kept between growing neighbours anchored on different sides.
    static constexpr int kSpacing = 6;

    // `designSize` is the panel's size in the design the positions refer to.
    TDesignPanel(const QSize& designSize, const QColor& background, QWidget* parent = nullptr);
    void place(QWidget* child, const QRect& designRect, Anchors anchors = Anchors(Left | Top),
               Sizing sizing = Sizing::Fixed);

    int requiredWidth() const;
    int requiredHeight() const;

Q_SIGNALS:
    // A child's size hint changed, or the panel was shown with its children not
    // laid out yet: requiredWidth() and requiredHeight() may have changed.
    void contentChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct Placement {
        QWidget* widget;
        QRect rect;
        Anchors anchors;
        Sizing sizing;
    };
    // Every placed child's geometry in a panel of the given size, in placing order.
    QList<QRect> layoutAt(const QSize& size) const;
    void relayout();

    QSize FDesignSize;
    QList<Placement> FPlacements;
    bool FLayoutPending = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TDesignPanel::Anchors)
