#include "link/PortSelection.h"

#include <string>

#include "link/Watchdog.h"
#include "platform/serial/PortNames.h"
#include "shell/Messages.h"

void SelectPort(ProgramState& S, Form1Components& C, int n)
{
    const int p = S.PortNumber;
    if (p == n)
        return;
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
            return;
        }
        // The failed open left the port closed.
        C.Form1.SetTitle(TitleJoined(p));
        C.ComPort1.SetPort(platform::ComPortName(p));
        // A second failure is not caught: the standard error report shows it.
        C.ComPort1.Open();
        S.PortNumber = p;
        ShowMessage(S, C, Message::PortNotReady);
    }
    platform::ApplyDeviceLine(C.ComPort1);
}
