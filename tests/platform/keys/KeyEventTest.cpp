#include <gtest/gtest.h>

#include <QKeyEvent>
#include <tuple>

#include "platform/keys/KeyEvent.h"

namespace {

platform::KeyPress Press(int key, Qt::KeyboardModifiers mods, const QString& text = {}, quint32 scan = 0,
                         quint32 keysym = 0)
{
    return platform::KeyPressOf(QKeyEvent(QEvent::KeyPress, key, mods, scan, keysym, 0, text));
}

}  // namespace

// The physical key whatever Shift or case, with or without an X11 key code.
TEST(KeyEvent, PhysicalKeyWhateverShiftOrCase)
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

// The keys that type nothing: the key code's place on X11 and the Qt key agree.
TEST(KeyEvent, AKeyThatTypesNothingHasItsPlacesCodeEitherWay)
{
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

