#include <gtest/gtest.h>

#include <QKeyEvent>

#include "platform/QtVirtualKey.h"

namespace {

platform::KeyPress Press(int key, Qt::KeyboardModifiers mods, const QString& text = {}, quint32 scan = 0,
                         quint32 keysym = 0)
{
    return platform::KeyPressOf(QKeyEvent(QEvent::KeyPress, key, mods, scan, keysym, 0, text));
}

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
        {Qt::Key_Control, Qt::ControlModifier, {}, 37, 0x11}};
    for (const auto& [key, mods, text, scan, vk] : cases)
        EXPECT_EQ(Press(key, mods, text, scan).VirtualKey, vk) << key << " " << scan;
    const platform::KeyPress k = Press(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, "C", 54);
    EXPECT_EQ(k.VirtualKey, 0x43);
    EXPECT_TRUE(k.Mods.Ctrl && k.Mods.Shift && !k.Mods.Alt);
}

// A key as the X11 platform hands it over: key code and the layout's symbol.
TEST(VirtualKey, LettersFollowTheLayoutOtherKeysTheirPlace)
{
    const std::tuple<quint32, quint32, Qt::KeyboardModifiers, int> cases[] = {
        {29, 'z', Qt::NoModifier, 0x5A},  // German: the key of the US Y types z, the key of the US Z types y
        {52, 'y', Qt::NoModifier, 0x59},
        {52, 'Y', Qt::ShiftModifier, 0x59},
        {24, 'a', Qt::NoModifier, 0x41},  // French: A and Q change places; digits need Shift there
        {38, 'q', Qt::NoModifier, 0x51},
        {10, '&', Qt::NoModifier, 0x31},
        {10, '1', Qt::ShiftModifier, 0x31},
        {10, '!', Qt::ShiftModifier, 0x31},  // US Shift+1 types !: still the 1 key
        {94, '<', Qt::NoModifier, 0xE2},     // the key left of Z on European keyboards
        {94, '>', Qt::ShiftModifier, 0xE2},
        {47, 0xF6, Qt::NoModifier, 0xBA},    // umlaut keys and keypad digits keep the physical table
        {87, 0xFFB1, Qt::NoModifier, 0x61},  // KP_1
        {71, 0xFFC2, Qt::NoModifier, 0x74}};  // F5
    for (const auto& [code, sym, mods, vk] : cases)
        EXPECT_EQ(Press(0, mods, {}, code, sym).VirtualKey, vk) << code << " " << sym;
}
