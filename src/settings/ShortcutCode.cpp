#include "settings/ShortcutCode.h"

#include "platform/GlobalHotKey.h"

namespace ShortcutCode {
namespace {

struct TKeyRow {
    quint8 vk;
    Qt::Key key;
    bool keypad;
    bool primary; // the row that a virtual-key code maps back to
};

// Windows virtual-key codes of the keys a hot key can use. A code may appear in
// several rows (keys Qt tells apart and Windows does not); only one of them is
// the key the code maps back to.
constexpr TKeyRow kKeys[] = {
    {0x08, Qt::Key_Backspace, false, true},
    {0x09, Qt::Key_Tab, false, true},
    {0x09, Qt::Key_Backtab, false, false},
    {0x0C, Qt::Key_Clear, false, true},
    {0x0D, Qt::Key_Return, false, true},
    {0x0D, Qt::Key_Enter, false, false},
    {0x13, Qt::Key_Pause, false, true},
    {0x14, Qt::Key_CapsLock, false, true},
    {0x1B, Qt::Key_Escape, false, true},
    {0x20, Qt::Key_Space, false, true},
    {0x21, Qt::Key_PageUp, false, true},
    {0x22, Qt::Key_PageDown, false, true},
    {0x23, Qt::Key_End, false, true},
    {0x24, Qt::Key_Home, false, true},
    {0x25, Qt::Key_Left, false, true},
    {0x26, Qt::Key_Up, false, true},
    {0x27, Qt::Key_Right, false, true},
    {0x28, Qt::Key_Down, false, true},
    {0x2C, Qt::Key_Print, false, true},
    {0x2C, Qt::Key_SysReq, false, false},
    {0x2D, Qt::Key_Insert, false, true},
    {0x2E, Qt::Key_Delete, false, true},
    {0x2F, Qt::Key_Help, false, true},
    {0x29, Qt::Key_Select, false, true},
    {0x2B, Qt::Key_Execute, false, true},
    {0x5D, Qt::Key_Menu, false, true},
    {0x5F, Qt::Key_Sleep, false, true},
    {0x6A, Qt::Key_Asterisk, true, true},
    {0x6B, Qt::Key_Plus, true, true},
    {0x6D, Qt::Key_Minus, true, true},
    {0x6E, Qt::Key_Period, true, true},
    {0x6E, Qt::Key_Comma, true, false}, // the numpad's decimal key on German keyboards
    {0x6F, Qt::Key_Slash, true, true},
    {0x90, Qt::Key_NumLock, false, true},
    {0x91, Qt::Key_ScrollLock, false, true},
    // Browser, volume, media and launch keys.
    {0xA6, Qt::Key_Back, false, true},
    {0xA7, Qt::Key_Forward, false, true},
    {0xA8, Qt::Key_Refresh, false, true},
    {0xA8, Qt::Key_Reload, false, false},
    {0xA9, Qt::Key_Stop, false, true},
    {0xAA, Qt::Key_Search, false, true},
    {0xAB, Qt::Key_Favorites, false, true},
    {0xAC, Qt::Key_HomePage, false, true},
    {0xAD, Qt::Key_VolumeMute, false, true},
    {0xAE, Qt::Key_VolumeDown, false, true},
    {0xAF, Qt::Key_VolumeUp, false, true},
    {0xB0, Qt::Key_MediaNext, false, true},
    {0xB1, Qt::Key_MediaPrevious, false, true},
    {0xB2, Qt::Key_MediaStop, false, true},
    {0xB3, Qt::Key_MediaPlay, false, true},
    {0xB3, Qt::Key_MediaTogglePlayPause, false, false},
    {0xB3, Qt::Key_MediaPause, false, false},
    {0xB4, Qt::Key_LaunchMail, false, true},
    {0xB5, Qt::Key_LaunchMedia, false, true},
    {0xB6, Qt::Key_Launch0, false, true},
    {0xB7, Qt::Key_Calculator, false, true},
    {0xB7, Qt::Key_Launch1, false, false},
    // The keys of the main block that differ between layouts (VK_OEM_*). The
    // German key is the one a code maps back to; the US key of the same
    // position is accepted as well. The two sets of unshifted keys do not overlap.
    {0xBA, Qt::Key_Udiaeresis, false, true},
    {0xBA, Qt::Key_Semicolon, false, false},
    {0xBB, Qt::Key_Plus, false, true},
    {0xBB, Qt::Key_Equal, false, false},
    {0xBC, Qt::Key_Comma, false, true},
    {0xBD, Qt::Key_Minus, false, true},
    {0xBE, Qt::Key_Period, false, true},
    {0xBF, Qt::Key_NumberSign, false, true},
    {0xBF, Qt::Key_Slash, false, false},
    {0xC0, Qt::Key_Odiaeresis, false, true},
    {0xC0, Qt::Key_QuoteLeft, false, false},
    {0xDB, Qt::Key_ssharp, false, true},
    {0xDB, Qt::Key_BracketLeft, false, false},
    {0xDC, Qt::Key_AsciiCircum, false, true},
    {0xDC, Qt::Key_Dead_Circumflex, false, false},
    {0xDC, Qt::Key_Backslash, false, false},
    {0xDD, Qt::Key_acute, false, true},
    {0xDD, Qt::Key_Dead_Acute, false, false},
    {0xDD, Qt::Key_BracketRight, false, false},
    {0xDE, Qt::Key_Adiaeresis, false, true},
    {0xDE, Qt::Key_Apostrophe, false, false},
    {0xE2, Qt::Key_Less, false, true},
};

// Keys that Qt reports with the keypad modifier but Windows gives the same code
// as the main block (navigation keys of the numpad with NumLock off, Enter).
bool keypadIsIrrelevant(Qt::Key key) {
    return !(key >= Qt::Key_0 && key <= Qt::Key_9) && key != Qt::Key_Asterisk && key != Qt::Key_Plus &&
           key != Qt::Key_Minus && key != Qt::Key_Period && key != Qt::Key_Comma && key != Qt::Key_Slash;
}

} // namespace

quint8 virtualKey(Qt::Key key, bool keypad) {
    if (keypad && keypadIsIrrelevant(key))
        keypad = false;
    if (key >= Qt::Key_A && key <= Qt::Key_Z && !keypad)
        return quint8(0x41 + (key - Qt::Key_A));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return quint8((keypad ? 0x60 : 0x30) + (key - Qt::Key_0));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24 && !keypad)
        return quint8(0x70 + (key - Qt::Key_F1));
    for (const TKeyRow& row : kKeys) {
        if (row.key == key && row.keypad == keypad)
            return row.vk;
    }
    return 0;
}

quint16 fromKeyCombination(QKeyCombination combination) {
    const Qt::KeyboardModifiers mods = combination.keyboardModifiers();
    const quint8 vk = virtualKey(combination.key(), mods.testFlag(Qt::KeypadModifier));
    if (vk == 0)
        return 0;
    quint16 code = vk;
    if (mods.testFlag(Qt::ShiftModifier))
        code |= kShift;
    if (mods.testFlag(Qt::ControlModifier))
        code |= kCtrl;
    if (mods.testFlag(Qt::AltModifier))
        code |= kAlt;
    return code;
}

QKeyCombination toKeyCombination(quint16 code) {
    const quint8 vk = virtualKeyOf(code);
    Qt::Key key = Qt::Key(0);
    Qt::KeyboardModifiers mods;
    if (vk >= 0x41 && vk <= 0x5A) {
        key = Qt::Key(Qt::Key_A + (vk - 0x41));
    } else if (vk >= 0x30 && vk <= 0x39) {
        key = Qt::Key(Qt::Key_0 + (vk - 0x30));
    } else if (vk >= 0x60 && vk <= 0x69) {
        key = Qt::Key(Qt::Key_0 + (vk - 0x60));
        mods |= Qt::KeypadModifier;
    } else if (vk >= 0x70 && vk <= 0x87) {
        key = Qt::Key(Qt::Key_F1 + (vk - 0x70));
    } else {
        for (const TKeyRow& row : kKeys) {
            if (row.vk == vk && row.primary) {
                key = row.key;
                if (row.keypad)
                    mods |= Qt::KeypadModifier;
                break;
            }
        }
    }
    if (key == Qt::Key(0))
        return QKeyCombination(Qt::Key(0));
    if (code & kShift)
        mods |= Qt::ShiftModifier;
    if (code & kCtrl)
        mods |= Qt::ControlModifier;
    if (code & kAlt)
        mods |= Qt::AltModifier;
    return QKeyCombination(mods, key);
}

quint16 hotKeyModifiers(quint16 code) {
    quint16 modifiers = 0;
    if (code & kAlt)
        modifiers |= TGlobalHotKey::kModAlt;
    if (code & kCtrl)
        modifiers |= TGlobalHotKey::kModControl;
    if (code & kShift)
        modifiers |= TGlobalHotKey::kModShift;
    return modifiers;
}

} // namespace ShortcutCode
