#pragma once
// The Windows virtual-key code of the physical key behind a Qt key event, and the
// modifier state, as the key pass-through expects them.

#include <array>
#include <cstdint>

#include "platform/Toolkit.h"

class QKeyEvent;

namespace platform {

struct KeyPress {
    uint16_t VirtualKey = 0;  // 0: a key with no code of its own, which sends nothing
    KeyModifiers Mods;
};

KeyPress KeyPressOf(const QKeyEvent& event);

// Per system: the code the window system gives for the event's key, 0 when it
// gives none.
uint16_t NativeVirtualKey(const QKeyEvent& event);

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
// key is judged by its own symbol. 0 when neither tells: Qt's key decides then.
uint16_t X11VirtualKey(uint32_t keyCode, uint32_t keySym, const LayoutSymbols* layout);

}  // namespace platform
