#include "messages/TargetFocusRule.h"

TTargetFocusRule::TTargetFocusRule(std::function<void()> focusEditor)
    : FFocusEditor(std::move(focusEditor)) {}

void TTargetFocusRule::ComboBoxTargetClick() {
    FTargetByMouse = true;
}

void TTargetFocusRule::ComboBoxTargetKeyDown() {
    FTargetByMouse = false;
}

void TTargetFocusRule::ComboBoxTargetSelect() {
    if (FTargetByMouse && FFocusEditor)
        FFocusEditor();
}
