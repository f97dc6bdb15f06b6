#pragma once
// The Windows virtual-key code of the physical key behind a Qt key event, and the
// modifier state, as the key pass-through expects them (KeyCodes.h says how).

#include <cstdint>

#include "platform/keys/KeyCodes.h"

class QKeyEvent;

namespace platform {

struct KeyPress {
    uint16_t VirtualKey = 0;  // 0: a key with no code of its own, which sends nothing
    KeyModifiers Mods;
};

// The window system's own code first (System.h); events without one (made up by
// tests) and keys no table lists (media and browser keys) are mapped from Qt's key.
// A key none of this knows has no code, and sends nothing.
KeyPress KeyPressOf(const QKeyEvent& event);

}  // namespace platform
