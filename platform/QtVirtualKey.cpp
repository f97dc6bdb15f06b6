#include "platform/QtVirtualKey.h"

#include <QKeyEvent>
#include <array>

// The byte a key sends is the Windows virtual-key code of the key, whatever Shift or
// Caps Lock make it type. Windows hands that code over as is. There, letter keys
// follow the active layout (the key labelled Y on a German keyboard is Y) while the
// other keys keep their place. On X11 the same is done from the key's symbol in the
// active layout, which Qt hands over as the native virtual key: a letter gives its
// capital, a digit itself; any other key is looked up by its physical key code
// (evdev layout). Events that carry neither (made up by tests or input methods) are
// mapped from Qt's key.

namespace platform {
namespace {

// X11 key code (evdev + 8) -> virtual-key code, for a US keyboard.
constexpr std::array<uint8_t, 136> BuildX11Table()
{
    std::array<uint8_t, 136> t{};
    t[9] = 0x1B;   // Escape
    const char digits[] = "1234567890";
    for (int i = 0; i < 10; ++i)
        t[10 + i] = static_cast<uint8_t>(digits[i]);
    t[20] = 0xBD; t[21] = 0xBB; t[22] = 0x08; t[23] = 0x09;  // - = BackSpace Tab
    const char row1[] = "QWERTYUIOP";
    for (int i = 0; i < 10; ++i)
        t[24 + i] = static_cast<uint8_t>(row1[i]);
    t[34] = 0xDB; t[35] = 0xDD; t[36] = 0x0D; t[37] = 0x11;  // [ ] Return Control_L
    const char row2[] = "ASDFGHJKL";
    for (int i = 0; i < 9; ++i)
        t[38 + i] = static_cast<uint8_t>(row2[i]);
    t[47] = 0xBA; t[48] = 0xDE; t[49] = 0xC0; t[50] = 0x10; t[51] = 0xDC;  // ; ' ` Shift_L backslash
    const char row3[] = "ZXCVBNM";
    for (int i = 0; i < 7; ++i)
        t[52 + i] = static_cast<uint8_t>(row3[i]);
    t[59] = 0xBC; t[60] = 0xBE; t[61] = 0xBF; t[62] = 0x10; t[63] = 0x6A;  // , . / Shift_R KP*
    t[64] = 0x12; t[65] = 0x20; t[66] = 0x14;  // Alt_L space Caps_Lock
    for (int i = 0; i < 10; ++i)
        t[67 + i] = static_cast<uint8_t>(0x70 + i);  // F1..F10
    t[77] = 0x90; t[78] = 0x91;  // Num_Lock Scroll_Lock
    const uint8_t keypad[] = {0x67, 0x68, 0x69, 0x6D, 0x64, 0x65, 0x66, 0x6B, 0x61, 0x62, 0x63, 0x60, 0x6E};
    for (int i = 0; i < 13; ++i)
        t[79 + i] = keypad[i];  // KP7 KP8 KP9 KP- KP4 KP5 KP6 KP+ KP1 KP2 KP3 KP0 KP.
    t[94] = 0xE2;  // the extra key left of Z on European keyboards (<>)
    t[95] = 0x7A; t[96] = 0x7B;  // F11 F12
    t[104] = 0x0D; t[105] = 0x11; t[106] = 0x6F; t[107] = 0x2C; t[108] = 0x12;  // KPEnter Ctrl_R KP/ Print Alt_R
    t[110] = 0x24; t[111] = 0x26; t[112] = 0x21; t[113] = 0x25; t[114] = 0x27;  // Home Up Prior Left Right
    t[115] = 0x23; t[116] = 0x28; t[117] = 0x22; t[118] = 0x2D; t[119] = 0x2E;  // End Down Next Insert Delete
    t[127] = 0x13; t[133] = 0x5B; t[134] = 0x5C; t[135] = 0x5D;  // Pause Super_L Super_R Menu
    return t;
}
constexpr auto kX11 = BuildX11Table();

uint16_t FromQtKey(int key)
{
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
    default: return static_cast<uint16_t>(key & 0xFFFF);
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
#ifdef _WIN32
    if (e.nativeVirtualKey() != 0) {
        k.VirtualKey = static_cast<uint16_t>(e.nativeVirtualKey());
        return k;
    }
#else
    // A letter or digit of the layout; Shift and Caps Lock only change its case.
    const quint32 sym = e.nativeVirtualKey();
    if ((sym >= 'a' && sym <= 'z') || (sym >= 'A' && sym <= 'Z') || (sym >= '0' && sym <= '9')) {
        k.VirtualKey = static_cast<uint16_t>(sym >= 'a' && sym <= 'z' ? sym - 'a' + 'A' : sym);
        return k;
    }
    const quint32 code = e.nativeScanCode();
    if (code > 0 && code < kX11.size() && kX11[code] != 0) {
        k.VirtualKey = kX11[code];
        return k;
    }
#endif
    k.VirtualKey = FromQtKey(e.key());
    return k;
}

}  // namespace platform
