#include "platform/keys/KeyEvent.h"

#include <QKeyEvent>

#include "platform/keys/System.h"

namespace platform {
namespace {

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
    // Qt's keys of the printable ASCII characters are those characters.
    if (key > Qt::Key_Space && key < 0x7F)
        return UsKeyCode(static_cast<uint32_t>(key));
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
    default: return 0;  // not some other key's code by accident
    }
}

}  // namespace

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
