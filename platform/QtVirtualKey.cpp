#include "platform/QtVirtualKey.h"

#include <QKeyEvent>
#include <string_view>
#include <utility>
#include <vector>

// The byte a key sends is the Windows virtual-key code of the key, whatever Shift or
// Caps Lock make it type. Windows hands that code over as is. On X11 it is worked
// out from the key code and the active layout, as Windows layouts assign it: a key
// typing a letter or digit gives that letter's or digit's code, the keys typing
// comma, period, minus and plus give theirs wherever they lie, and every other key
// keeps the code of its place on a US keyboard, unless a key typing that place's
// letter, digit or sign has taken it. So no two keys share a code. The keypad with
// Num Lock off is the
// navigation block. Events without a key code (made up by tests) and keys no table
// lists (media and browser keys) are mapped from Qt's key; a key none of this
// knows has no code, and sends nothing.

namespace platform {
namespace {

// X11 key code (evdev + 8) -> virtual-key code, for a US keyboard.
constexpr std::array<uint8_t, 256> BuildX11Table()
{
    std::array<uint8_t, 256> t{};
    const auto row = [&t](size_t from, std::string_view codes) {
        for (char c : codes)
            t[from++] = static_cast<uint8_t>(c);
    };
    t[9] = 0x1B;   // Escape
    row(10, "1234567890");
    t[20] = 0xBD; t[21] = 0xBB; t[22] = 0x08; t[23] = 0x09;  // - = BackSpace Tab
    row(24, "QWERTYUIOP");
    t[34] = 0xDB; t[35] = 0xDD; t[36] = 0x0D; t[37] = 0x11;  // [ ] Return Control_L
    row(38, "ASDFGHJKL");
    t[47] = 0xBA; t[48] = 0xDE; t[49] = 0xC0; t[50] = 0x10; t[51] = 0xDC;  // ; ' ` Shift_L backslash
    row(52, "ZXCVBNM");
    t[59] = 0xBC; t[60] = 0xBE; t[61] = 0xBF; t[62] = 0x10; t[63] = 0x6A;  // , . / Shift_R KP*
    t[64] = 0x12; t[65] = 0x20; t[66] = 0x14;  // Alt_L space Caps_Lock
    row(67, "\x70\x71\x72\x73\x74\x75\x76\x77\x78\x79");  // F1..F10
    t[77] = 0x90; t[78] = 0x91;  // Num_Lock Scroll_Lock
    row(79, "\x67\x68\x69\x6D\x64\x65\x66\x6B\x61\x62\x63\x60\x6E");  // KP7 KP8 KP9 KP- KP4 KP5 KP6 KP+ KP1 KP2 KP3 KP0 KP.
    t[94] = 0xE2;  // the extra key left of Z on European keyboards (<>)
    t[95] = 0x7A; t[96] = 0x7B;  // F11 F12
    t[104] = 0x0D; t[105] = 0x11; t[106] = 0x6F; t[107] = 0x2C; t[108] = 0x12;  // KPEnter Ctrl_R KP/ Print Alt_R
    t[110] = 0x24; t[111] = 0x26; t[112] = 0x21; t[113] = 0x25; t[114] = 0x27;  // Home Up Prior Left Right
    t[115] = 0x23; t[116] = 0x28; t[117] = 0x22; t[118] = 0x2D; t[119] = 0x2E;  // End Down Next Insert Delete
    t[127] = 0x13; t[133] = 0x5B; t[134] = 0x5C; t[135] = 0x5D;  // Pause Super_L Super_R Menu
    return t;
}
constexpr auto kX11 = BuildX11Table();

bool IsLetter(uint32_t s) { return (s >= 'a' && s <= 'z') || (s >= 'A' && s <= 'Z'); }
bool IsDigit(uint32_t s) { return s >= '0' && s <= '9'; }
bool IsSign(uint32_t s) { return s == ',' || s == '.' || s == '-' || s == '+'; }

uint8_t SignCode(uint32_t s) { return s == ',' ? 0xBC : s == '.' ? 0xBE : s == '-' ? 0xBD : 0xBB; }
bool IsOwnCode(uint8_t c) { return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 0xBB && c <= 0xBE); }

// The code a key owns by what it types: a letter before a digit before a sign, the
// plain level before the shifted one. 0 when it types none of them.
uint8_t OwnCode(KeySymbols k)
{
    for (bool (*is)(uint32_t) : {IsLetter, IsDigit, IsSign})
        for (uint32_t s : {k.Plain, k.Shifted})
            if (is(s))
                return is == IsLetter ? static_cast<uint8_t>(s & ~0x20u)
                       : is == IsDigit ? static_cast<uint8_t>(s)
                                       : SignCode(s);
    return 0;
}

// The US key that types a punctuation character.
uint8_t UsPunctuationCode(uint32_t s)
{
    constexpr std::pair<std::string_view, uint8_t> keys[] = {
        {";:", 0xBA}, {"=+", 0xBB}, {",<", 0xBC}, {"-_", 0xBD}, {".>", 0xBE}, {"/?", 0xBF},
        {"`~", 0xC0}, {"[{", 0xDB}, {"\\|", 0xDC}, {"]}", 0xDD}, {"'\"", 0xDE}};
    if (s > 0x7F)
        return 0;
    for (const auto& [chars, code] : keys)
        if (chars.find(static_cast<char>(s)) != std::string_view::npos)
            return code;
    return 0;
}

// Codes for a key whose place's code went to another key and that types no US sign.
constexpr uint8_t kSpareCodes[] = {0xBA, 0xBF, 0xC0, 0xDB, 0xDC, 0xDD, 0xDE, 0xDF, 0xE2, 0xE1, 0xE3, 0xE4};

std::array<uint8_t, 256> LayoutCodes(const LayoutSymbols& layout)
{
    std::array<uint8_t, 256> codes{};
    int letters = 0;
    for (const KeySymbols& k : layout)
        letters += IsLetter(k.Plain);
    // Without Latin letters (Cyrillic, Greek...) every key keeps its US place, as
    // Windows layouts do.
    const bool latin = letters >= 10;
    std::array<bool, 256> taken{};
    for (size_t kc = 0; latin && kc < layout.size(); ++kc)
        if (const uint8_t c = OwnCode(layout[kc]))
            taken[codes[kc] = c] = true;
    std::vector<size_t> displaced;
    for (size_t kc = 0; kc < layout.size(); ++kc) {
        const uint8_t place = kX11[kc];
        if (codes[kc] || !place || (!layout[kc].Plain && !layout[kc].Shifted))
            continue;
        if (IsOwnCode(place) && taken[place])
            displaced.push_back(kc);
        else
            taken[codes[kc] = place] = true;
    }
    // A displaced key takes what the sign it types has on a US keyboard, else the
    // first spare code; the first round lets every key have its sign's code.
    for (int round = 0; round < 2; ++round)
        for (size_t kc : displaced) {
            for (uint8_t c : {UsPunctuationCode(layout[kc].Plain), UsPunctuationCode(layout[kc].Shifted)})
                if (round == 0 && !codes[kc] && c && !taken[c])
                    taken[codes[kc] = c] = true;
            for (uint8_t c : kSpareCodes)
                if (round == 1 && !codes[kc] && !taken[c])
                    taken[codes[kc] = c] = true;
        }
    return codes;
}

uint16_t FromQtKey(int key, bool keypad)
{
    if (keypad && key >= Qt::Key_0 && key <= Qt::Key_9)
        return static_cast<uint16_t>(0x60 + (key - Qt::Key_0));
    if (keypad) {
        switch (key) {
        case Qt::Key_Asterisk: return 0x6A;
        case Qt::Key_Plus: return 0x6B;
        case Qt::Key_Minus: return 0x6D;
        case Qt::Key_Period: case Qt::Key_Comma: return 0x6E;
        case Qt::Key_Slash: return 0x6F;
        }
    }
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return static_cast<uint16_t>(key);  // already 0x41..0x5A, whatever the case
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return static_cast<uint16_t>(key);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return static_cast<uint16_t>(0x70 + (key - Qt::Key_F1));
    switch (key) {
    case Qt::Key_Return: case Qt::Key_Enter: return 0x0D;
    case Qt::Key_Escape: return 0x1B;
    case Qt::Key_Backspace: return 0x08;
    case Qt::Key_Tab: case Qt::Key_Backtab: return 0x09;
    case Qt::Key_Shift: return 0x10;
    case Qt::Key_Control: return 0x11;
    case Qt::Key_Alt: return 0x12;
    case Qt::Key_Pause: return 0x13;
    case Qt::Key_CapsLock: return 0x14;
    case Qt::Key_Space: return 0x20;
    case Qt::Key_PageUp: return 0x21;
    case Qt::Key_PageDown: return 0x22;
    case Qt::Key_End: return 0x23;
    case Qt::Key_Home: return 0x24;
    case Qt::Key_Left: return 0x25;
    case Qt::Key_Up: return 0x26;
    case Qt::Key_Right: return 0x27;
    case Qt::Key_Down: return 0x28;
    case Qt::Key_Insert: return 0x2D;
    case Qt::Key_Delete: return 0x2E;
    case Qt::Key_Clear: return 0x0C;
    case Qt::Key_Print: return 0x2C;
    case Qt::Key_Help: return 0x2F;
    case Qt::Key_Meta: case Qt::Key_Super_L: return 0x5B;
    case Qt::Key_Super_R: return 0x5C;
    case Qt::Key_Menu: return 0x5D;
    case Qt::Key_Sleep: return 0x5F;
    case Qt::Key_NumLock: return 0x90;
    case Qt::Key_ScrollLock: return 0x91;
    case Qt::Key_AltGr: return 0x12;
    // Browser and media keys.
    case Qt::Key_Back: return 0xA6;
    case Qt::Key_Forward: return 0xA7;
    case Qt::Key_Refresh: case Qt::Key_Reload: return 0xA8;
    case Qt::Key_Stop: return 0xA9;
    case Qt::Key_Search: return 0xAA;
    case Qt::Key_Favorites: return 0xAB;
    case Qt::Key_HomePage: return 0xAC;
    case Qt::Key_VolumeMute: return 0xAD;
    case Qt::Key_VolumeDown: return 0xAE;
    case Qt::Key_VolumeUp: return 0xAF;
    case Qt::Key_MediaNext: return 0xB0;
    case Qt::Key_MediaPrevious: return 0xB1;
    case Qt::Key_MediaStop: return 0xB2;
    case Qt::Key_MediaPlay: case Qt::Key_MediaPause: case Qt::Key_MediaTogglePlayPause: return 0xB3;
    case Qt::Key_LaunchMail: return 0xB4;
    case Qt::Key_LaunchMedia: return 0xB5;
    case Qt::Key_Launch0: case Qt::Key_Explorer: return 0xB6;
    case Qt::Key_Launch1: case Qt::Key_Calculator: return 0xB7;
    // Shifted punctuation of a US keyboard: the key beneath it.
    case Qt::Key_Exclam: return '1';
    case Qt::Key_At: return '2';
    case Qt::Key_NumberSign: return '3';
    case Qt::Key_Dollar: return '4';
    case Qt::Key_Percent: return '5';
    case Qt::Key_AsciiCircum: return '6';
    case Qt::Key_Ampersand: return '7';
    case Qt::Key_Asterisk: return '8';
    case Qt::Key_ParenLeft: return '9';
    case Qt::Key_ParenRight: return '0';
    case Qt::Key_Minus: case Qt::Key_Underscore: return 0xBD;
    case Qt::Key_Equal: case Qt::Key_Plus: return 0xBB;
    case Qt::Key_BracketLeft: case Qt::Key_BraceLeft: return 0xDB;
    case Qt::Key_BracketRight: case Qt::Key_BraceRight: return 0xDD;
    case Qt::Key_Semicolon: case Qt::Key_Colon: return 0xBA;
    case Qt::Key_Apostrophe: case Qt::Key_QuoteDbl: return 0xDE;
    case Qt::Key_QuoteLeft: case Qt::Key_AsciiTilde: return 0xC0;
    case Qt::Key_Backslash: case Qt::Key_Bar: return 0xDC;
    case Qt::Key_Comma: case Qt::Key_Less: return 0xBC;
    case Qt::Key_Period: case Qt::Key_Greater: return 0xBE;
    case Qt::Key_Slash: case Qt::Key_Question: return 0xBF;
    default: return 0;  // not some other key's code by accident
    }
}

}  // namespace

uint16_t X11VirtualKey(uint32_t keyCode, uint32_t keySym, const LayoutSymbols* layout)
{
    // The keypad without Num Lock (or with Shift) is the navigation block:
    // KP_Home .. KP_Delete.
    constexpr uint8_t keypad[] = {0x24, 0x25, 0x26, 0x27, 0x28, 0x21, 0x22, 0x23, 0x0C, 0x2D, 0x2E};
    if (keySym >= 0xFF95 && keySym <= 0xFF9F)
        return keypad[keySym - 0xFF95];
    if (keyCode == 0 || keyCode >= kX11.size())
        return 0;
    if (layout)
        if (const uint8_t c = LayoutCodes(*layout)[keyCode])
            return c;
    // Only this key's symbol is known.
    if (const uint8_t c = OwnCode({keySym, 0}))
        return c;
    return kX11[keyCode];
}

KeyPress KeyPressOf(const QKeyEvent& e)
{
    KeyPress k;
    const Qt::KeyboardModifiers m = e.modifiers();
    k.Mods.Shift = m.testFlag(Qt::ShiftModifier);
    k.Mods.Ctrl = m.testFlag(Qt::ControlModifier);
    k.Mods.Alt = m.testFlag(Qt::AltModifier);
    k.VirtualKey = NativeVirtualKey(e);
    if (k.VirtualKey == 0)
        k.VirtualKey = FromQtKey(e.key(), m.testFlag(Qt::KeypadModifier));
    return k;
}

}  // namespace platform
