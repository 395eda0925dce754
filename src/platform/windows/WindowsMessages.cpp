#include "platform/windows/WindowsMessages.h"

TWindowsMessages::TWindowsMessages(QObject* parent) : QObject(parent) {}

TWindowsMessages::~TWindowsMessages() {
    if (FWindow)
        ::DestroyWindow(FWindow);
}

HWND TWindowsMessages::window() {
    if (FWindow)
        return FWindow;
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &TWindowsMessages::windowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    ::RegisterClassW(&windowClass); // fails harmlessly when registered already
    // A top-level window that is never shown: a message-only window would not
    // get what Windows sends to all top-level windows.
    FWindow = ::CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, kCaption, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                instance, nullptr);
    if (FWindow)
        ::SetWindowLongPtrW(FWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    return FWindow;
}

void TWindowsMessages::handle(UINT message, THandler handler) {
    window();
    FHandlers[message] = std::move(handler);
}

void TWindowsMessages::forget(UINT message) {
    FHandlers.erase(message);
}

HWND TWindowsMessages::findRunning() {
    return ::FindWindowW(kClassName, kCaption);
}

LRESULT CALLBACK TWindowsMessages::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TWindowsMessages*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self) {
        const auto it = self->FHandlers.find(message);
        LRESULT result = 0;
        // A copy: the handler may make its service go, which forgets it.
        if (it != self->FHandlers.end() && THandler(it->second)(wParam, lParam, result))
            return result;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}
