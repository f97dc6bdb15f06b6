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
