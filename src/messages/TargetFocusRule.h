#pragma once

#include <functional>

// Focus rule of the recipient box: an entry chosen with the mouse sends the
// focus on to the editor; one chosen with the keyboard (arrows, completion) does not.
// The box reports a click just before each selection change, and a key press
// before the selection change it causes.
class TTargetFocusRule {
  public:
    explicit TTargetFocusRule(std::function<void()> focusEditor);

    void ComboBoxTargetClick();   // FTargetByMouse := true
    void ComboBoxTargetKeyDown(); // FTargetByMouse := false
    void ComboBoxTargetSelect();  // focus the editor when chosen by mouse

    bool targetByMouse() const { return FTargetByMouse; }

  private:
    std::function<void()> FFocusEditor;
    bool FTargetByMouse = false;
};
