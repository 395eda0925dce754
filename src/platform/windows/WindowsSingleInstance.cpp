#include "platform/windows/WindowsSingleInstance.h"

#include "platform/windows/WindowsMessages.h"

#include <QLoggingCategory>
#include <QtEndian>

#include <cwchar>
#include <iterator>
#include <string>

namespace {
Q_LOGGING_CATEGORY(lcInstance, "palavero.platform.instance", QtInfoMsg)

constexpr wchar_t kMutexName[] = L"PALAVERO.MUTEX";
// The class of a script's window for the reasons.
constexpr wchar_t kReplyClass[] = L"PalaveroLiteReply";
// What the WM_COPYDATA carries: a handed-over message, or the reasons it was not sent.
constexpr ULONG_PTR kHandOverTag = 0x504C5653; // "PLVS"
constexpr ULONG_PTR kReasonsTag = 0x504C5652;  // "PLVR"
// The results of a handed-over message (0 is that of a window that did not take it).
constexpr LRESULT kSent = 1;
constexpr LRESULT kNotSent = 2;
// The most the reasons may hold.
constexpr DWORD kLargestReasonsBytes = 1024 * 1024;
const QString kNoAnswer = QStringLiteral("Die laufende Palavero-Instanz hat nicht geantwortet.");

// The recipient and the text of a handed-over message; false when the data is
// not one (or a larger one than a script may send).
bool readHandOver(const COPYDATASTRUCT& data, QByteArray& recipient, QByteArray& text) {
    if (data.dwData != kHandOverTag || data.cbData < 4 || !data.lpData)
        return false;
    const auto* bytes = static_cast<const char*>(data.lpData);
    const quint32 recipientSize = qFromLittleEndian<quint32>(bytes);
    if (recipientSize > data.cbData - 4)
        return false;
    const quint32 textSize = quint32(data.cbData - 4 - recipientSize);
    if (recipientSize > TWindowsSingleInstance::MaxRecipientBytes || textSize > TWindowsSingleInstance::MaxTextBytes)
        return false;
    recipient = QByteArray(bytes + 4, recipientSize);
    text = QByteArray(bytes + 4 + recipientSize, textSize);
    return true;
}

// A message-only window of a script's that takes the reasons of a message
// that was not sent (FindWindowW does not see it).
class TReplyWindow {
public:
    TReplyWindow() {
        const HINSTANCE instance = ::GetModuleHandleW(nullptr);
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &TReplyWindow::windowProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kReplyClass;
        ::RegisterClassW(&windowClass); // fails harmlessly when registered already
        FWindow = ::CreateWindowExW(0, kReplyClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
        if (FWindow)
            ::SetWindowLongPtrW(FWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TReplyWindow() {
        if (FWindow)
            ::DestroyWindow(FWindow);
    }
    HWND window() const { return FWindow; }
    QString reasons;

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<TReplyWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (message == WM_COPYDATA && self && data->dwData == kReasonsTag && data->cbData <= kLargestReasonsBytes) {
            self->reasons = QString::fromWCharArray(static_cast<const wchar_t*>(data->lpData),
                                                    int(data->cbData / sizeof(wchar_t)));
            return TRUE;
        }
        return ::DefWindowProcW(window, message, wParam, lParam);
    }

    HWND FWindow = nullptr;
};

// Gives the reasons to the script's window, if it is one.
void sendReasons(HWND client, HWND from, const QString& reasons) {
    wchar_t className[std::size(kReplyClass) + 1] = {};
    if (!::GetClassNameW(client, className, int(std::size(className))) || std::wcscmp(className, kReplyClass) != 0) {
        qCDebug(lcInstance) << "no window to take the reasons";
        return;
    }
    std::wstring text = reasons.toStdWString();
    COPYDATASTRUCT data{kReasonsTag, DWORD(text.size() * sizeof(wchar_t)), text.data()};
    DWORD_PTR taken = 0;
    ::SendMessageTimeoutW(client, WM_COPYDATA, WPARAM(from), LPARAM(&data), SMTO_NORMAL, TWindowsSingleInstance::TimeoutMs,
                          &taken);
}
} // namespace

TWindowsSingleInstance::TWindowsSingleInstance(TWindowsMessages& messages, QObject* parent)
    : TSingleInstance(parent), FMessages(messages) {}

TWindowsSingleInstance::~TWindowsSingleInstance() {
    if (FMutex)
        ::CloseHandle(FMutex);
}

bool TWindowsSingleInstance::tryBecomePrimary() {
    if (FPrimary)
        return true;
    const HANDLE mutex = ::CreateMutexW(nullptr, FALSE, kMutexName);
    if (mutex && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return false;
    }
    // A mutex that cannot be created is ignored: this instance runs.
    if (!mutex)
        qCDebug(lcInstance) << "cannot create the mutex, error" << ::GetLastError();
    FMutex = mutex;
    FMessages.handle(kShowRequest, [this](WPARAM, LPARAM, LRESULT& result) {
        Q_EMIT showRequested();
        result = 0;
        return true;
    });
    FMessages.handle(WM_COPYDATA, [this](WPARAM wParam, LPARAM lParam, LRESULT& result) {
        QByteArray recipient;
        QByteArray text;
        if (!readHandOver(*reinterpret_cast<const COPYDATASTRUCT*>(lParam), recipient, text)) {
            qCDebug(lcInstance) << "ignoring an unknown request";
            return false;
        }
        // Sending lets events run; the script waits meanwhile.
        const TMessageReply reply = handleMessage(recipient, text);
        if (!reply.sent)
            sendReasons(reinterpret_cast<HWND>(wParam), FMessages.window(), reply.error);
        result = reply.sent ? kSent : kNotSent;
        return true;
    });
    FPrimary = true;
    return true;
}

bool TWindowsSingleInstance::sendShowRequest() {
    const HWND running = TWindowsMessages::findRunning();
    return running && ::PostMessageW(running, kShowRequest, 0, 0);
}

bool TWindowsSingleInstance::otherInstanceRuns() const {
    return !FPrimary && TWindowsMessages::findRunning();
}

std::optional<TSingleInstance::TMessageReply>
TWindowsSingleInstance::handOverMessage(const QByteArray& recipient, const QByteArray& text) {
    if (recipient.size() > qsizetype(MaxRecipientBytes) || text.size() > qsizetype(MaxTextBytes))
        return TMessageReply{false, QStringLiteral("Text der Nachricht ist zu lang, bitte kürzen!")};
    const HWND running = TWindowsMessages::findRunning();
    if (!running)
        return std::nullopt;
    QByteArray request(4, Qt::Uninitialized);
    qToLittleEndian<quint32>(quint32(recipient.size()), request.data());
    request += recipient + text;
    COPYDATASTRUCT data{kHandOverTag, DWORD(request.size()), request.data()};
    // While it waits, this thread takes the reasons that the instance sends.
    const TReplyWindow replyWindow;
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(running, WM_COPYDATA, WPARAM(replyWindow.window()), LPARAM(&data), SMTO_NORMAL,
                               ReplyTimeoutMs, &result))
        return TMessageReply{false, kNoAnswer};
    if (LRESULT(result) == kSent)
        return TMessageReply{true, QString()};
    if (LRESULT(result) == kNotSent)
        return TMessageReply{false, replyWindow.reasons};
    return TMessageReply{false, kNoAnswer};
}
