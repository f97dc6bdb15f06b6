#include "link/Watchdog.h"

#include <string>

#include "link/Exchange.h"
#include "platform/serial/PortNames.h"
#include "shell/Messages.h"

namespace {

void PortRequest(ProgramState& S, Form1Components& C)
{
    S.NulArmed = 0;
    ShowMessage(S, C, Message::ChoosePort);  // repeated until acknowledged
}

void PortOpening(ProgramState& S, Form1Components& C)
{
    S.PortPromptStage = 2;  // first: ticks go on inside the modal dialog
    C.ComPort1.ShowSetupDialog();
    // Only the name chosen counts: a port picked from the menu meanwhile must not
    // pass for it when the dialog's name is none of COM1..COM4.
    const int chosen = platform::ComPortNumber(C.ComPort1.Port());
    if (chosen == 0) {
        ShowMessage(S, C, Message::PortNotReady);
        return;
    }
    S.PortNumber = chosen;
    C.Form1.SetTitle(TitleJoined(S.PortNumber));
    // A port opened from the menu while the request was up gives way to the one
    // chosen here (the component opens nothing while a port is open), and its
    // exchange ends with it.
    if (C.ComPort1.Connected() && EndExchange(S, C))
        C.Sound.Beep();
    C.ComPort1.Close();
    try {
        C.ComPort1.Open();
    } catch (const platform::EComPort&) {
        C.Sound.Beep();
        ShowMessage(S, C, Message::PortNotReady);
    }
}

void Abandon(ProgramState& S, Form1Components& C)
{
    S.WatchdogTicks = 0;
    DropAbandonedReception(S, C);
    // An abandoned header pacing would otherwise go on and corrupt the next one.
    EndTransfer(S, C);
}

void TimeOut(ProgramState& S, Form1Components& C)
{
    // A port that has gone must not stop the rest of the time-out.
    try {
        C.ComPort1.ClearBuffer(true, true);
    } catch (const std::exception&) {
    }
    Abandon(S, C);
    C.Sound.Beep();
    ShowMessage(S, C, Message::PortTimeOut);
}

}  // namespace

bool EndExchange(ProgramState& S, Form1Components& C)
{
    S.NulPending = 0;
    S.NulArmed = 0;
    S.EscSeen = 0;
    S.RxText.clear();
    StopHeaderPacing(S);
    if (S.RxState == 0 && S.TxState == 0)
        return false;
    // Command state alone holds nothing of the user's: end it without a word.
    const bool transfer = TransferUnderWay(S);
    Abandon(S, C);
    if (transfer)
        ShowLine(C, Line::Interrupted);
    return transfer;
}

bool PortLost(ProgramState& S, Form1Components& C)
{
    // No port is open any more; choosing the same one again, once the adapter
    // is back, must open it rather than count as "already selected".
    S.PortNumber = 0;
    C.Form1.SetTitle(TitleSpaced(0));
    return EndExchange(S, C);
}

void Timer1Timer(ProgramState& S, Form1Components& C)
{
    if (S.PortPromptStage == 0)
        PortRequest(S, C);
    if (S.PortPromptStage == 1)
        PortOpening(S, C);

    if (S.RxState == 0 && S.TxState == 0)
        S.WatchdogTicks = 0;
    else
        ++S.WatchdogTicks;
    if (S.WatchdogTicks > 90)
        TimeOut(S, C);

    if (S.NulPending == 1 && S.NulArmed == 1) {
        C.ComPort1.TransmitChar('\0');
        S.NulArmed = 0;
        S.NulPending = 0;
    }
    S.NulArmed = S.NulPending == 1 ? 1 : 0;
}
