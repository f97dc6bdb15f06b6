#include "link/PortSelection.h"

#include <string>

#include "link/Watchdog.h"
#include "shell/Messages.h"

namespace {

// Every successful selection gives the port the devices' settings, in this order.
void ApplyLineSettings(platform::SerialPort& port)
{
    port.SetBaudRate(4800);
    port.SetDataBits(8);
    port.SetStopBits(platform::StopBits::One);
    port.SetParityCheck(false);
    port.SetDtrControl(platform::DtrControl::Enable);
    port.SetDTR(true);
    port.SetRTS(true);
}

}  // namespace

void SelectPort(ProgramState& S, platform::Form1Components& C, int n)
{
    const int p = S.PortNumber;
    if (p == n)
        return;
    // The device on the old port keeps nothing going on the new one.
    if (EndExchange(S, C))
        C.Sound.Beep();
    C.Form1.SetTitle("KORVEL SU COM " + std::to_string(n));
    C.ComPort1.Close();
    C.ComPort1.SetPort("COM" + std::to_string(n));
    S.PortNumber = n;
    try {
        C.ComPort1.Open();
    } catch (const platform::EComPort&) {
        C.Sound.Beep();
        if (p < 1 || p > 4) {
            ShowMessage(S, C, Message::PortNotReady);
            return;
        }
        // The failed open left the port closed.
        C.Form1.SetTitle("KORVEL SU COM" + std::to_string(p));
        C.ComPort1.SetPort("COM" + std::to_string(p));
        // A second failure is not caught: the standard error report shows it.
        C.ComPort1.Open();
        S.PortNumber = p;
        ShowMessage(S, C, Message::PortNotReady);
    }
    ApplyLineSettings(C.ComPort1);
}
