#pragma once
// The Windows virtual-key code of the physical key behind a Qt key event, and the
// modifier state, as the key pass-through expects them.

#include <cstdint>

#include "platform/Toolkit.h"

class QKeyEvent;

namespace platform {

struct KeyPress {
    uint16_t VirtualKey = 0;
    KeyModifiers Mods;
};

KeyPress KeyPressOf(const QKeyEvent& event);

}  // namespace platform
