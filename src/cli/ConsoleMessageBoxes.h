#pragma once

#include "platform/MessageBoxes.h"

#include <cstdio>

// Message boxes of the headless modes: the text goes to standard error, one
// line each; questions are answered with No.
class TConsoleMessageBoxes : public IMessageBoxes {
public:
    explicit TConsoleMessageBoxes(std::FILE* stream = stderr) : FStream(stream) {}
    void show(const QString& text, Icon icon = Icon::None, const QString& caption = QString()) override;
    bool ask(const QString& caption, const QString& text, Icon icon = Icon::Question) override;

private:
    std::FILE* FStream;
};
