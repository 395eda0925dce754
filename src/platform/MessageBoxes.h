#pragma once

#include <QString>

// Message boxes and questions go through this service, so that tests can preset
// the answers instead of clicking. Every call is modal: pending events run while
// a box is open.
class IMessageBoxes {
public:
    enum class Icon { None, Information, Warning, Error, Question };

    virtual ~IMessageBoxes() = default;
    // A box with an OK button. An empty caption means the application title.
    virtual void show(const QString& text, Icon icon = Icon::None, const QString& caption = QString()) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool ask(const QString& caption, const QString& text, Icon icon = Icon::Question) = 0;
};
