#include "platform/QtVirtualKey.h"

#include <QKeyEvent>

// placeholder until the key table lands
namespace platform {
KeyPress KeyPressOf(const QKeyEvent& e)
{
    KeyPress k;
    k.VirtualKey = static_cast<uint16_t>(e.key() & 0xFF);
    k.Mods.Shift = e.modifiers() & Qt::ShiftModifier;
    k.Mods.Ctrl = e.modifiers() & Qt::ControlModifier;
    k.Mods.Alt = e.modifiers() & Qt::AltModifier;
    return k;
}
}  // namespace platform
