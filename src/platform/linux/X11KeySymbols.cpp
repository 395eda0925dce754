#include "platform/linux/X11KeySymbols.h"

#define XK_MISCELLANY
#define XK_LATIN1
#define XK_XKB_KEYS
#include <X11/XF86keysym.h>
#include <X11/keysymdef.h>

namespace X11KeySymbols {
namespace {

struct TSymbolRow {
    quint8 vk;
    quint32 symbols[3]; // in order of preference, 0 ends the list
};

constexpr TSymbolRow kSymbols[] = {
    {0x08, {XK_BackSpace}},
    {0x09, {XK_Tab}},
    {0x0C, {XK_Clear, XK_KP_Begin}},
    {0x0D, {XK_Return, XK_KP_Enter}},
    {0x13, {XK_Pause}},
    {0x14, {XK_Caps_Lock}},
    {0x1B, {XK_Escape}},
    {0x20, {XK_space}},
    {0x21, {XK_Prior}},
    {0x22, {XK_Next}},
    {0x23, {XK_End}},
    {0x24, {XK_Home}},
    {0x25, {XK_Left}},
    {0x26, {XK_Up}},
    {0x27, {XK_Right}},
    {0x28, {XK_Down}},
    {0x29, {XK_Select}},
    {0x2B, {XK_Execute}},
    {0x2C, {XK_Print}},
    {0x2D, {XK_Insert}},
    {0x2E, {XK_Delete}},
    {0x2F, {XK_Help}},
    {0x5D, {XK_Menu}},
    {0x5F, {XF86XK_Sleep}},
    {0x6A, {XK_KP_Multiply}},
    {0x6B, {XK_KP_Add}},
    {0x6C, {XK_KP_Separator}},
    {0x6D, {XK_KP_Subtract}},
    {0x6E, {XK_KP_Decimal, XK_KP_Separator}},
    {0x6F, {XK_KP_Divide}},
    {0x90, {XK_Num_Lock}},
    {0x91, {XK_Scroll_Lock}},
    {0xA6, {XF86XK_Back}},
    {0xA7, {XF86XK_Forward}},
    {0xA8, {XF86XK_Refresh, XF86XK_Reload}},
    {0xA9, {XF86XK_Stop}},
    {0xAA, {XF86XK_Search}},
    {0xAB, {XF86XK_Favorites}},
    {0xAC, {XF86XK_HomePage}},
    {0xAD, {XF86XK_AudioMute}},
    {0xAE, {XF86XK_AudioLowerVolume}},
    {0xAF, {XF86XK_AudioRaiseVolume}},
    {0xB0, {XF86XK_AudioNext}},
    {0xB1, {XF86XK_AudioPrev}},
    {0xB2, {XF86XK_AudioStop}},
    {0xB3, {XF86XK_AudioPlay, XF86XK_AudioPause}},
    {0xB4, {XF86XK_Mail}},
    {0xB5, {XF86XK_AudioMedia}},
    {0xB6, {XF86XK_MyComputer}},
    {0xB7, {XF86XK_Calculator}},
    {0xBA, {XK_udiaeresis, XK_semicolon}},
    {0xBB, {XK_plus, XK_equal}},
    {0xBC, {XK_comma}},
    {0xBD, {XK_minus}},
    {0xBE, {XK_period}},
    {0xBF, {XK_numbersign, XK_slash}},
    {0xC0, {XK_odiaeresis, XK_grave}},
    {0xDB, {XK_ssharp, XK_bracketleft}},
    {0xDC, {XK_dead_circumflex, XK_asciicircum, XK_backslash}},
    {0xDD, {XK_dead_acute, XK_acute, XK_bracketright}},
    {0xDE, {XK_adiaeresis, XK_apostrophe}},
    {0xE2, {XK_less}},
};

QList<quint8> keyCodesCarrying(quint32 symbol, const TKeyboardMap& map, bool firstColumnOnly) {
    QList<quint8> codes;
    if (map.perKeyCode <= 0)
        return codes;
    const int columns = firstColumnOnly ? 1 : map.perKeyCode;
    const qsizetype keys = map.symbols.size() / map.perKeyCode;
    for (qsizetype key = 0; key < keys; ++key) {
        for (int column = 0; column < columns; ++column) {
            if (map.symbols[key * map.perKeyCode + column] == symbol) {
                const qsizetype code = map.minKeyCode + key;
                if (code <= 255)
                    codes << quint8(code);
                break;
            }
        }
    }
    return codes;
}

} // namespace

QList<quint32> ofVirtualKey(quint8 vk) {
    if (vk >= 0x41 && vk <= 0x5A)
        return {quint32(XK_a + (vk - 0x41))};
    if (vk >= 0x30 && vk <= 0x39)
        return {quint32(XK_0 + (vk - 0x30))};
    if (vk >= 0x60 && vk <= 0x69)
        return {quint32(XK_KP_0 + (vk - 0x60))};
    if (vk >= 0x70 && vk <= 0x87)
        return {quint32(XK_F1 + (vk - 0x70))};
    for (const TSymbolRow& row : kSymbols) {
        if (row.vk != vk)
            continue;
        QList<quint32> symbols;
        for (quint32 symbol : row.symbols) {
            if (symbol != 0)
                symbols << symbol;
        }
        return symbols;
    }
    return {};
}

QList<quint8> keyCodesOf(const QList<quint32>& candidates, const TKeyboardMap& map) {
    for (const bool firstColumnOnly : {true, false}) {
        for (quint32 symbol : candidates) {
            const QList<quint8> codes = keyCodesCarrying(symbol, map, firstColumnOnly);
            if (!codes.isEmpty())
                return codes;
        }
    }
    return {};
}

} // namespace X11KeySymbols
