#include <QKeyEvent>

#include "platform/keys/KeyCodes.h"
#include "platform/keys/System.h"

namespace platform {

// Windows gives the virtual-key code itself, already after the layout and Num Lock.
uint16_t NativeVirtualKey(const QKeyEvent& e) { return static_cast<uint16_t>(e.nativeVirtualKey()); }

}  // namespace platform
