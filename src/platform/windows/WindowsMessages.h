#pragma once

#include <QObject>

#include <functional>
#include <map>

#include <windows.h>

// The program's one hidden window, the way Windows messages reach the platform
// services: the top-level window (never shown) of the class "PalaveroLite"
// with the caption "Palavero Lite". It receives what Windows sends to every
// top-level window (end of session, power events), is the window that session
// notifications and hot keys are registered for, and is what a second start
// finds (FindWindowW with this class and caption) to post the show request
// 1194 to or to hand a message over by WM_COPYDATA. Qt's event loop dispatches
// its messages. Services ask for the messages they handle.
class TWindowsMessages : public QObject {
    Q_OBJECT
public:
    static constexpr wchar_t kClassName[] = L"PalaveroLite";
    static constexpr wchar_t kCaption[] = L"Palavero Lite";

    // Handles one message; true when it was handled, with `result` as the answer.
    using THandler = std::function<bool(WPARAM wParam, LPARAM lParam, LRESULT& result)>;

    explicit TWindowsMessages(QObject* parent = nullptr);
    ~TWindowsMessages() override;

    // The hidden window (made when first asked for).
    HWND window();
    // From now on `message` goes to `handler` (one handler per message); an
    // unhandled message gets the default handling.
    void handle(UINT message, THandler handler);
    // `message` gets the default handling again (for a service that goes).
    void forget(UINT message);
    // The hidden window of a running instance of this user's session, or null.
    static HWND findRunning();

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND FWindow = nullptr;
    std::map<UINT, THandler> FHandlers;
};
