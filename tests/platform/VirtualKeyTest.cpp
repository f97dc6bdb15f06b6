#include <gtest/gtest.h>

#include <QKeyEvent>

#include "platform/QtVirtualKey.h"

namespace {

uint16_t Vk(int key, Qt::KeyboardModifiers mods, const QString& text = {}, quint32 scan = 0)
{
    QKeyEvent e(QEvent::KeyPress, key, mods, scan, 0, 0, text);
    return platform::KeyPressOf(e).VirtualKey;
}

}  // namespace

TEST(VirtualKey, PhysicalKeyWhateverShiftOrCase)
{
    EXPECT_EQ(Vk(Qt::Key_A, Qt::NoModifier, "a"), 0x41);
    EXPECT_EQ(Vk(Qt::Key_A, Qt::ShiftModifier, "A"), 0x41);
    EXPECT_EQ(Vk(Qt::Key_Exclam, Qt::ShiftModifier, "!"), 0x31);
    EXPECT_EQ(Vk(Qt::Key_F10, Qt::NoModifier), 0x79);
    EXPECT_EQ(Vk(Qt::Key_Return, Qt::NoModifier), 0x0D);
    EXPECT_EQ(Vk(Qt::Key_Escape, Qt::NoModifier), 0x1B);
    EXPECT_EQ(Vk(Qt::Key_Backspace, Qt::NoModifier), 0x08);
    EXPECT_EQ(Vk(Qt::Key_Shift, Qt::ShiftModifier), 0x10);
}

TEST(VirtualKey, X11KeyCodesGiveTheSameCodes)
{
    // Shift+1 on X11: key code 10 with the Qt key of "!".
    EXPECT_EQ(Vk(Qt::Key_Exclam, Qt::ShiftModifier, "!", 10), Vk(Qt::Key_1, Qt::NoModifier));
    EXPECT_EQ(Vk(Qt::Key_A, Qt::NoModifier, "a", 38), 0x41);
    EXPECT_EQ(Vk(Qt::Key_Return, Qt::NoModifier, "\r", 36), 0x0D);
    EXPECT_EQ(Vk(Qt::Key_F10, Qt::NoModifier, {}, 76), 0x79);
    EXPECT_EQ(Vk(Qt::Key_Control, Qt::ControlModifier, {}, 37), 0x11);
    QKeyEvent e(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier, 54, 0, 0, "C");
    const platform::KeyPress k = platform::KeyPressOf(e);
    EXPECT_EQ(k.VirtualKey, 0x43);
    EXPECT_TRUE(k.Mods.Ctrl && k.Mods.Shift && !k.Mods.Alt);
}

namespace {

// A key as the X11 platform hands it over: key code and the layout's symbol.
uint16_t X11Vk(quint32 keycode, quint32 keysym, Qt::KeyboardModifiers mods = Qt::NoModifier, int key = 0)
{
    QKeyEvent e(QEvent::KeyPress, key, mods, keycode, keysym, 0);
    return platform::KeyPressOf(e).VirtualKey;
}

}  // namespace

TEST(VirtualKey, LettersFollowTheLayoutOtherKeysTheirPlace)
{
    // German: the key of the US Y types z, the key of the US Z types y.
    EXPECT_EQ(X11Vk(29, 'z'), 0x5A);
    EXPECT_EQ(X11Vk(52, 'y'), 0x59);
    EXPECT_EQ(X11Vk(52, 'Y', Qt::ShiftModifier), 0x59);
    // French: A and Q change places, and so do Z and W; digits need Shift there.
    EXPECT_EQ(X11Vk(24, 'a'), 0x41);
    EXPECT_EQ(X11Vk(38, 'q'), 0x51);
    EXPECT_EQ(X11Vk(10, '&'), 0x31);
    EXPECT_EQ(X11Vk(10, '1', Qt::ShiftModifier), 0x31);
    // US Shift+1 types !: still the 1 key.
    EXPECT_EQ(X11Vk(10, '!', Qt::ShiftModifier), 0x31);
    // The key left of Z on European keyboards, with and without Shift.
    EXPECT_EQ(X11Vk(94, '<'), 0xE2);
    EXPECT_EQ(X11Vk(94, '>', Qt::ShiftModifier), 0xE2);
    // German umlaut keys and keypad digits keep the physical table.
    EXPECT_EQ(X11Vk(47, 0xF6), 0xBA);
    EXPECT_EQ(X11Vk(87, 0xFFB1), 0x61);  // KP_1
    EXPECT_EQ(X11Vk(71, 0xFFC2), 0x74);  // F5
}
