#include "platform/keys/KeyCodes.h"

#include <string_view>
#include <utility>
#include <vector>

namespace platform {
namespace {

// The US keys of the punctuation marks, plain and shifted.
constexpr std::pair<std::string_view, uint8_t> kUsPunctuation[] = {
    {";:", 0xBA}, {"=+", 0xBB}, {",<", 0xBC}, {"-_", 0xBD}, {".>", 0xBE}, {"/?", 0xBF},
    {"`~", 0xC0}, {"[{", 0xDB}, {"\\|", 0xDC}, {"]}", 0xDD}, {"'\"", 0xDE}};
// The digit beneath each shifted sign of the number row.
constexpr std::string_view kUsShiftedDigits = ")!@#$%^&*(";

constexpr uint8_t UsPunctuationCode(uint32_t s)
{
    if (s > 0x7F)
        return 0;
    for (const auto& [chars, code] : kUsPunctuation)
        if (chars.find(static_cast<char>(s)) != std::string_view::npos)
            return code;
    return 0;
}

constexpr uint8_t UsCode(uint32_t ch)
{
    if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'))
        return static_cast<uint8_t>(ch & ~0x20u);
    if (ch >= '0' && ch <= '9')
        return static_cast<uint8_t>(ch);
    if (ch <= 0x7F)
        if (const size_t d = kUsShiftedDigits.find(static_cast<char>(ch)); d != std::string_view::npos)
            return static_cast<uint8_t>('0' + d);
    return UsPunctuationCode(ch);
}

// The US keyboard as it types, by X11 key code (evdev + 8): the one table of the
// US places, whose codes come from UsCode.
constexpr std::array<uint8_t, 256> BuildX11Table()
{
    std::array<uint8_t, 256> t{};
    const auto row = [&t](size_t from, std::string_view typed) {
        for (char c : typed)
            t[from++] = UsCode(static_cast<uint8_t>(c));
    };
    t[9] = 0x1B;   // Escape
    row(10, "1234567890-=");
    t[22] = 0x08; t[23] = 0x09;  // BackSpace Tab
    row(24, "QWERTYUIOP[]");
    t[36] = 0x0D; t[37] = 0x11;  // Return Control_L
    row(38, "ASDFGHJKL;'`");
    t[50] = 0x10;  // Shift_L
    row(51, "\\ZXCVBNM,./");
    t[62] = 0x10; t[63] = 0x6A;  // Shift_R KP*
    t[64] = 0x12; t[65] = 0x20; t[66] = 0x14;  // Alt_L space Caps_Lock
    for (uint8_t f = 0; f < 10; ++f)
        t[67 + f] = static_cast<uint8_t>(0x70 + f);  // F1..F10
    t[77] = 0x90; t[78] = 0x91;  // Num_Lock Scroll_Lock
    // KP7 KP8 KP9 KP- KP4 KP5 KP6 KP+ KP1 KP2 KP3 KP0 KP.
    constexpr uint8_t keypad[] = {0x67, 0x68, 0x69, 0x6D, 0x64, 0x65, 0x66, 0x6B, 0x61, 0x62, 0x63, 0x60, 0x6E};
    for (size_t i = 0; i < std::size(keypad); ++i)
        t[79 + i] = keypad[i];
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
                                       : UsPunctuationCode(s);
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

}  // namespace

uint8_t UsKeyCode(uint32_t ch) { return UsCode(ch); }

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

}  // namespace platform
