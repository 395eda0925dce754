#pragma once

class QWidget;

// Modal windows above the main window. The main window stays on top of other
// windows; a dialog or message box that did not would open under it, and the
// user could reach neither. So every dialog and message box of the program is
// a transient window of the main window (or of the modal window in front of
// it), which the window manager keeps above its owner, and shares the main
// window's always-on-top layer. A window shown above another modal window
// belongs to that one, so that it stays above it too.
namespace ModalWindows {

// Makes `dialog` (created once, before it is first shown) a transient window
// of `owner` in the always-on-top layer. Keeps the dialog's own window flags.
void adopt(QWidget& dialog, QWidget& owner);

// The owner of a window opened now: the modal window in front, else `mainWindow`.
QWidget* ownerNow(QWidget* mainWindow);

// Raises the modal windows that are open, each above its owner, after their
// main window was raised; a window manager does not always restack a transient
// window with an owner that was hidden when the transient window was shown.
void raiseOpenModals();

} // namespace ModalWindows
