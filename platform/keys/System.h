#pragma once
// What differs per system in the keys room: each system's NativeKey file gives
// the code the window system has for the event's key. NativeKey_unix.cpp asks the
// X server for the active layout (KeyCodes.h decides); NativeKey_win.cpp takes
// Windows' own code.

#include <cstdint>

class QKeyEvent;

namespace platform {

// 0 when the window system gives none.
uint16_t NativeVirtualKey(const QKeyEvent& event);

}  // namespace platform
