#include "link/Router.h"

#include <string>

#include "link/Exchange.h"
#include "receive/Dispatcher.h"
#include "shell/Messages.h"
#include "transmit/Transmission.h"

void ComPort1RxChar(ProgramState& S, Form1Components& C, int Count)
{
    std::string one;
    for (int i = 0; i < Count; ++i) {
        one.clear();
        // A read that comes back empty counts as a 0x00 byte.
        C.ComPort1.ReadStr(one, 1);
        const uint8_t b = one.empty() ? 0 : static_cast<uint8_t>(one[0]);
        ReceiveStep(S, C, b);
        TransmitStep(S, C, b);
    }
}


void ComPort1LineHeld(ProgramState& S, Form1Components& C, bool held)
{
    if (held) {
        if (!S.LineHeld)
            S.LineHeldCovered = C.Memo2.Text();
        S.LineHeld = 1;
        C.Memo2.SetText(LineHeldText(S.LanguageFlag));
        C.Sound.Beep();
    } else if (!held && S.LineHeld) {
        S.LineHeld = 0;
        // Put back what it covered, unless a later step has said something else.
        if (C.Memo2.Text() == LineHeldText(S.LanguageFlag))
            C.Memo2.SetText(S.LineHeldCovered);
    }
}

void ComPort1Waiting(ProgramState& S, Form1Components& C, const std::string& what)
{
    if (!what.empty()) {
        if (S.OpenWaitShown.empty())
            S.OpenWaitCovered = C.Memo2.Text();
        S.OpenWaitShown = OpenWaitText(what, S.LanguageFlag);
        C.Memo2.SetText(S.OpenWaitShown);
    } else if (!S.OpenWaitShown.empty()) {
        if (C.Memo2.Text() == S.OpenWaitShown)
            C.Memo2.SetText(S.OpenWaitCovered);
        S.OpenWaitShown.clear();
    }
}

void ComPort1LineErrors(ProgramState& S, Form1Components& C, const platform::LineErrors& seen)
{
    if (TransferUnderWay(S))
        return;
    if (seen.Total() < S.LineErrorsShown)
        S.LineErrorsShown = 0;  // counted afresh since the port opened again
    if (seen.Total() == S.LineErrorsShown)
        return;
    if (S.LineErrorsShown == 0)
        C.Sound.Beep();
    S.LineErrorsShown = seen.Total();
    C.Memo2.SetText(LineErrorsText(LineErrorsAt::Terminal, seen, S.LanguageFlag));
}
