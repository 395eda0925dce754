#pragma once

#include <QProxyStyle>

// The program's widget style: the system's, with a clearly visible frame
// inside a push button that has the keyboard focus, so that the user sees
// which button Enter and Space press. The style sheet leaves buttons to it.
class TFocusFrameStyle : public QProxyStyle {
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;

    // The colour of the frame: dark enough for 3:1 against a light button face.
    static QColor frameColor();
    // The frame's pixels: the edges of this rectangle inside a button's rectangle.
    static QRect frameRect(const QRect& button);
};
