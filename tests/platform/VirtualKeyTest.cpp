#include <gtest/gtest.h>

#include <QKeyEvent>
#include <map>
#include <string>

#include "platform/QtVirtualKey.h"

namespace {

platform::KeyPress Press(int key, Qt::KeyboardModifiers mods, const QString& text = {}, quint32 scan = 0,
                         quint32 keysym = 0)
{
    return platform::KeyPressOf(QKeyEvent(QEvent::KeyPress, key, mods, scan, keysym, 0, text));
}

// A layout from rows of keys: from a key code on, what each key types plain and
// shifted (Latin-1 characters are their own X11 symbols).
using Rows = std::map<uint32_t, std::pair<std::u32string, std::u32string>>;
platform::LayoutSymbols Layout(const Rows& rows)
{
    platform::LayoutSymbols l{};
    for (const auto& [code, row] : rows)
        for (size_t i = 0; i < row.first.size(); ++i)
            l[code + i] = {row.first[i], i < row.second.size() ? row.second[i] : 0};
    return l;
}
constexpr char32_t kAcute = 0xFE51, kGrave = 0xFE50, kCircumflex = 0xFE52, kDiaeresis = 0xFE57;

}  // namespace

// The physical key whatever Shift or case, with or without an X11 key code.
TEST(VirtualKey, PhysicalKeyWhateverShiftOrCase)
{
    const auto shift = Qt::ShiftModifier, none = Qt::NoModifier;
    const std::tuple<int, Qt::KeyboardModifiers, QString, quint32, int> cases[] = {
        {Qt::Key_A, none, "a", 0, 0x41},      {Qt::Key_A, shift, "A", 0, 0x41},
        {Qt::Key_Exclam, shift, "!", 0, 0x31}, {Qt::Key_F10, none, {}, 0, 0x79},
        {Qt::Key_Return, none, {}, 0, 0x0D},  {Qt::Key_Escape, none, {}, 0, 0x1B},
        {Qt::Key_Backspace, none, {}, 0, 0x08}, {Qt::Key_Shift, shift, {}, 0, 0x10},
        {Qt::Key_Exclam, shift, "!", 10, 0x31}, {Qt::Key_A, none, "a", 38, 0x41},
        {Qt::Key_Return, none, "\r", 36, 0x0D}, {Qt::Key_F10, none, {}, 76, 0x79},
        {Qt::Key_Control, Qt::ControlModifier, {}, 37, 0x11},
        // Keys with no code of their own send their Windows code or nothing, never
        // another key's (Back was 'a', BassBoost F4, Tools F1).
        {Qt::Key_Back, none, {}, 0, 0xA6},    {Qt::Key_MediaPlay, none, {}, 0, 0xB3},
        {Qt::Key_VolumeDown, none, {}, 0, 0xAE}, {Qt::Key_BassBoost, none, {}, 0, 0},
        {Qt::Key_Tools, none, {}, 0, 0},      {Qt::Key_Menu, none, {}, 0, 0x5D},
        {Qt::Key_Up, Qt::KeypadModifier, {}, 0, 0x26}, {Qt::Key_Clear, Qt::KeypadModifier, {}, 0, 0x0C},
        {Qt::Key_8, Qt::KeypadModifier, "8", 0, 0x68}};
    for (const auto& [key, mods, text, scan, vk] : cases)
        EXPECT_EQ(Press(key, mods, text, scan).VirtualKey, vk) << key << " " << scan;
    const platform::KeyPress k = Press(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, "C", 54);
    EXPECT_EQ(k.VirtualKey, 0x43);
    EXPECT_TRUE(k.Mods.Ctrl && k.Mods.Shift && !k.Mods.Alt);
}

// A key as the X11 platform hands it over: key code and the layout's symbol (the
// table itself, so that it is checked on every system).
TEST(VirtualKey, LettersFollowTheLayoutOtherKeysTheirPlace)
{
    const std::tuple<quint32, quint32, int> cases[] = {
        {29, 'z', 0x5A},  // German: the key of the US Y types z, the key of the US Z types y
        {52, 'y', 0x59},
        {52, 'Y', 0x59},
        {24, 'a', 0x41},  // French: A and Q change places; digits need Shift there
        {38, 'q', 0x51},
        {10, '&', 0x31},
        {10, '1', 0x31},
        {10, '!', 0x31},  // US Shift+1 types !: still the 1 key
        {94, '<', 0xE2},  // the key left of Z on European keyboards
        {94, '>', 0xE2},
        {47, 0xF6, 0xBA},    // umlaut keys and keypad digits keep the physical table
        {87, 0xFFB1, 0x61},  // KP_1
        {71, 0xFFC2, 0x74},  // F5
        {58, ',', 0xBC},     // French: comma where the US M lies
        {80, 0xFF97, 0x26},  // without Num Lock: KP_Up, KP_Home, KP_Delete, KP_Begin
        {79, 0xFF95, 0x24},
        {91, 0xFF9F, 0x2E},
        {84, 0xFF9D, 0x0C},
        {135, 0xFF67, 0x5D}};  // Menu
    for (const auto& [code, sym, vk] : cases)
        EXPECT_EQ(platform::X11VirtualKey(code, sym, nullptr), vk) << code << " " << sym;
    // The keys that type nothing: the key code's place and the Qt key agree.
    const std::pair<quint32, int> places[] = {
        {9, Qt::Key_Escape}, {22, Qt::Key_Backspace}, {23, Qt::Key_Tab}, {36, Qt::Key_Return}, {37, Qt::Key_Control},
        {50, Qt::Key_Shift}, {62, Qt::Key_Shift}, {64, Qt::Key_Alt}, {65, Qt::Key_Space}, {66, Qt::Key_CapsLock},
        {67, Qt::Key_F1}, {76, Qt::Key_F10}, {77, Qt::Key_NumLock}, {78, Qt::Key_ScrollLock}, {95, Qt::Key_F11},
        {96, Qt::Key_F12}, {104, Qt::Key_Enter}, {105, Qt::Key_Control}, {107, Qt::Key_Print}, {108, Qt::Key_Alt},
        {110, Qt::Key_Home}, {111, Qt::Key_Up}, {112, Qt::Key_PageUp}, {113, Qt::Key_Left}, {114, Qt::Key_Right},
        {115, Qt::Key_End}, {116, Qt::Key_Down}, {117, Qt::Key_PageDown}, {118, Qt::Key_Insert},
        {119, Qt::Key_Delete}, {127, Qt::Key_Pause}, {133, Qt::Key_Super_L}, {134, Qt::Key_Super_R}, {135, Qt::Key_Menu}};
    for (const auto& [code, key] : places)
        EXPECT_EQ(platform::X11VirtualKey(code, 0, nullptr), Press(key, Qt::NoModifier).VirtualKey) << code;
}

// With the whole layout known: letters, digits and the four signs follow the
// layout, every other key keeps its US place unless that went to another key, and
// no two keys share a code.
TEST(VirtualKey, TheWholeLayoutGivesEveryKeyACodeOfItsOwn)
{
    const Rows us = {{10, {U"1234567890-=", U"!@#$%^&*()_+"}}, {24, {U"qwertyuiop[]", U"QWERTYUIOP{}"}},
                     {38, {U"asdfghjkl;'`", U"ASDFGHJKL:\"~"}}, {51, {U"\\zxcvbnm,./", U"|ZXCVBNM<>?"}}};
    const Rows de = {{10, {U"1234567890\xDF" + std::u32string{kAcute}, U"!\"\xA7$%&/()=?" + std::u32string{kGrave}}},
                     {24, {U"qwertzuiop\xFC+", U"QWERTZUIOP\xDC*"}},
                     {38, {U"asdfghjkl\xF6\xE4" + std::u32string{kCircumflex}, U"ASDFGHJKL\xD6\xC4\xB0"}},
                     {51, {U"#yxcvbnm,.-", U"'YXCVBNM;:_"}}, {94, {U"<", U">"}}};
    const Rows fr = {{10, {U"&\xE9\"'(-\xE8_\xE7\xE0)=", U"1234567890\xB0+"}},
                     {24, {U"azertyuiop" + std::u32string{kCircumflex} + U"$", U"AZERTYUIOP" + std::u32string{kDiaeresis} + U"\xA3"}},
                     {38, {U"qsdfghjklm\xF9\xB2", U"QSDFGHJKLM%"}}, {51, {U"*wxcvbn,;:!", U"\xB5WXCVBN?./\xA7"}}};
    const Rows dvorak = {{10, {U"1234567890[]", U"!@#$%^&*(){}"}}, {24, {U"',.pyfgcrl/=", U"\"<>PYFGCRL?+"}},
                         {38, {U"aoeuidhtns-`", U"AOEUIDHTNS_~"}}, {51, {U"\\;qjkxbmwvz", U"|:QJKXBMWVZ"}}};
    // Cyrillic letters: every key keeps its US place, as on Windows.
    const Rows ru = {{24, {U"\x6CA\x6C3\x6D5\x6CB\x6C5\x6CE\x6C7\x6DB\x6DD\x6DA", U""}},
                     {38, {U"\x6C6\x6D9\x6D7\x6C1\x6D0\x6D2\x6CF\x6CC\x6C4", U""}},
                     {52, {U"\x6D1\x6DE\x6D3\x6CD\x6C9\x6D4\x6D8\x6C2\x6C0.", U"\0\0\0\0\0\0\0\0\0,"}}};
    // key code -> code, per layout
    const std::pair<const Rows*, std::map<uint32_t, int>> cases[] = {
        {&us, {{10, 0x31}, {20, 0xBD}, {21, 0xBB}, {24, 0x51}, {34, 0xDB}, {35, 0xDD}, {47, 0xBA}, {48, 0xDE},
               {49, 0xC0}, {51, 0xDC}, {58, 0x4D}, {59, 0xBC}, {60, 0xBE}, {61, 0xBF}}},
        {&de, {{20, 0xBF}, {21, 0xDD}, {29, 0x5A}, {34, 0xDB}, {35, 0xBB}, {47, 0xBA}, {48, 0xDE}, {49, 0xC0},
               {51, 0xDC}, {52, 0x59}, {59, 0xBC}, {60, 0xBE}, {61, 0xBD}, {94, 0xE2}}},
        {&fr, {{10, 0x31}, {15, 0x36}, {20, 0xBD}, {21, 0xBB}, {24, 0x41}, {38, 0x51}, {47, 0x4D}, {58, 0xBC},
               {59, 0xBE}, {60, 0xBA}, {61, 0xBF}}},
        {&dvorak, {{20, 0xBF}, {21, 0xDD}, {24, 0xDE}, {25, 0xBC}, {26, 0xBE}, {34, 0xDB}, {35, 0xBB}, {48, 0xBD},
                   {52, 0xBA}, {53, 0x51}, {59, 0x57}}},
        {&ru, {{24, 0x51}, {52, 0x5A}, {59, 0xBC}, {61, 0xBF}}}};
    for (const auto& [rows, expected] : cases) {
        const platform::LayoutSymbols layout = Layout(*rows);
        std::map<int, uint32_t> owner;
        for (uint32_t code = 8; code < 256; ++code) {
            if (!layout[code].Plain)
                continue;
            const int vk = platform::X11VirtualKey(code, layout[code].Plain, &layout);
            EXPECT_EQ(platform::X11VirtualKey(code, layout[code].Shifted, &layout), vk) << code;
            EXPECT_TRUE(owner.emplace(vk, code).second) << "keys " << owner[vk] << " and " << code << " both give " << vk;
            if (expected.count(code)) {
                EXPECT_EQ(vk, expected.at(code)) << "key " << code;
            }
        }
    }
}
