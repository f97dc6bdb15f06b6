#include "platform/keys/KeyCodes.h"
#include "platform/keys/System.h"

#include <QGuiApplication>
#include <QKeyEvent>
// Last: its macros (KeyPress, None, Bool) clash with names above.
#include <X11/XKBlib.h>

namespace platform {
namespace {

// The symbols of every key in the group the event was typed in. Asked of the X
// server at each key: a layout switched a moment ago already counts. False where
// there is no X server (another platform plugin).
bool TypedLayout(const QKeyEvent& e, LayoutSymbols& layout)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    XkbDescPtr xkb = display ? XkbGetMap(display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd) : nullptr;
    if (!xkb)
        return false;
    const unsigned group = (e.nativeModifiers() >> 13) & 3;  // the group bits of the event's state
    for (int kc = xkb->min_key_code; kc <= xkb->max_key_code && kc < static_cast<int>(layout.size()); ++kc) {
        const unsigned groups = XkbKeyNumGroups(xkb, kc);
        if (groups == 0)
            continue;
        const unsigned g = group % groups;
        layout[kc] = {static_cast<uint32_t>(XkbKeySymEntry(xkb, kc, 0, g)),
                      XkbKeyGroupWidth(xkb, kc, g) > 1 ? static_cast<uint32_t>(XkbKeySymEntry(xkb, kc, 1, g)) : 0};
    }
    XkbFreeKeyboard(xkb, 0, True);
    return true;
}

}  // namespace

uint16_t NativeVirtualKey(const QKeyEvent& e)
{
    LayoutSymbols layout{};
    const bool known = e.nativeScanCode() != 0 && TypedLayout(e, layout);
    return X11VirtualKey(e.nativeScanCode(), e.nativeVirtualKey(), known ? &layout : nullptr);
}

}  // namespace platform
