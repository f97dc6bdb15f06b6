#include "link/PortSelection.h"

#include <string>

#include "link/Watchdog.h"
#include "platform/serial/PortNames.h"
#include "shell/Messages.h"

namespace {

// Port n in place of port p (0: none to fall back on): false when n failed and
// there was nothing to fall back on.
bool SwitchPort(ProgramState& S, Form1Components& C, int n, int p)
{
    // The device on the old port keeps nothing going on the new one.
    if (EndExchange(S, C))
        C.Sound.Beep();
    C.Form1.SetTitle(TitleSpaced(n));
    C.ComPort1.Close();
    C.ComPort1.SetPort(platform::ComPortName(n));
    S.PortNumber = n;
    try {
        C.ComPort1.Open();
    } catch (const platform::EComPort&) {
        C.Sound.Beep();
        if (p < 1 || p > platform::kMenuPorts) {
            ShowMessage(S, C, Message::PortNotReady);
            return false;
        }
        // The failed open left the port closed.
        C.Form1.SetTitle(TitleJoined(p));
        C.ComPort1.SetPort(platform::ComPortName(p));
        // A second failure is not caught: the standard error report shows it.
        C.ComPort1.Open();
        S.PortNumber = p;
        ShowMessage(S, C, Message::PortNotReady);
    }
    return true;
}

}  // namespace

void SelectPort(ProgramState& S, Form1Components& C, int n)
{
    const int p = S.PortNumber;
    if (p == n)
        return;
    if (SwitchPort(S, C, n, p))
        platform::ApplyDeviceLine(C.ComPort1);
}

void TakeSetupChoice(ProgramState& S, Form1Components& C)
{
    const int p = S.PortNumber;
    const int n = platform::ComPortNumber(C.ComPort1.Port());
    if (n == 0) {
        // Not a port of the menu: the line stays as it was, under its own name.
        if (p >= 1 && p <= platform::kMenuPorts)
            C.ComPort1.SetPort(platform::ComPortName(p));
        C.Sound.Beep();
        ShowMessage(S, C, Message::PortNotReady);
        return;
    }
    // The same name may now stand for another device or line: opened again, and
    // with nothing of its old binding to fall back on.
    SwitchPort(S, C, n, p == n ? 0 : p);
}
