#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>

#include "platform/keys/KeyCodes.h"

namespace {

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

// A key as the X11 platform hands it over: key code and the layout's symbol.
TEST(KeyCodes, LettersFollowTheLayoutOtherKeysTheirPlace)
{
    const std::tuple<uint32_t, uint32_t, int> cases[] = {
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
}

// With the whole layout known: letters, digits and the four signs follow the
// layout, every other key keeps its US place unless that went to another key, and
// no two keys share a code.
TEST(KeyCodes, TheWholeLayoutGivesEveryKeyACodeOfItsOwn)
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
