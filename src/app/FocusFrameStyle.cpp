#include "app/FocusFrameStyle.h"

#include <QPainter>
#include <QStyleOption>

QColor TFocusFrameStyle::frameColor() {
    return QColor(31, 95, 191);
}

QRect TFocusFrameStyle::frameRect(const QRect& button) {
    // Inside the button's own border, clear of the text.
    return button.adjusted(3, 3, -3, -3);
}

void TFocusFrameStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                   const QWidget* widget) const {
    QProxyStyle::drawControl(element, option, painter, widget);
    if (element != CE_PushButton || !(option->state & State_HasFocus))
        return;
    const QRect frame = frameRect(option->rect);
    if (frame.width() < 4 || frame.height() < 4)
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, false);
    painter->setPen(QPen(frameColor(), 1, Qt::SolidLine));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(frame.adjusted(0, 0, -1, -1)); // a 1 px pen draws right of and below its rectangle
    painter->restore();
}
