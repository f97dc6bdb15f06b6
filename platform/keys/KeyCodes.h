#pragma once
// The byte a key sends is the Windows virtual-key code of the key, whatever Shift
// or Caps Lock make it type. Windows hands that code over as is (NativeKey_win.cpp).
// On X11 it is worked out here from the key code and the active layout, as Windows
// layouts assign it: a key typing a letter or digit gives that letter's or digit's
// code, the keys typing comma, period, minus and plus give theirs wherever they
// lie, and every other key keeps the code of its place on a US keyboard, unless a
// key typing that place's letter, digit or sign has taken it. So no two keys share
// a code. The keypad with Num Lock off is the navigation block.
//
// Plain C++: the tables and the layout logic are tested without a toolkit;
// KeyEvent.h turns a Qt key event into a KeyPress with them.

#include <array>
#include <cstdint>

namespace platform {

// Modifier state of a key-down event; the key itself is a 16-bit virtual-key code.
struct KeyModifiers {
    bool Shift = false;
    bool Ctrl = false;
    bool Alt = false;
};

// What the keys of the active X11 layout type: for each key code, the symbols of
// the first two levels of its active group (0 where none).
struct KeySymbols {
    uint32_t Plain = 0;
    uint32_t Shifted = 0;
};
using LayoutSymbols = std::array<KeySymbols, 256>;

// The code of an X11 key from its key code and the symbol it typed. With the whole
// layout, letters, digits, comma, period, minus and plus follow the layout, and no
// two keys share a code; without it (another platform plugin, a made-up event) the
// key is judged by its own symbol. 0 when neither tells: the toolkit's key decides then.
uint16_t X11VirtualKey(uint32_t keyCode, uint32_t keySym, const LayoutSymbols* layout);

// The code of the US key that types an ASCII character, plain or shifted: a letter
// in either case, a digit or its shifted sign, a punctuation mark. 0 for any other.
uint8_t UsKeyCode(uint32_t ch);

}  // namespace platform
