#include "receive/Dispatcher.h"

#include <string>

#include "link/Exchange.h"
#include "receive/Reception.h"
#include "shell/Messages.h"

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kCr = 0x0D;
constexpr uint8_t kLf = 0x0A;

void TerminalStep(ProgramState& S, Form1Components& C, uint8_t b)
{
    if (S.EscSeen == 1 && b == 'A')
        S.RxState = RxCommand;  // the "A" still shows as text
    if (b != kCr && b != kLf)
        S.RxText.push_back(static_cast<char>(b));
    if (b == kLf) {
        C.Memo1.AppendLine(S.RxText);
        S.RxText.clear();
    }
}

void CommandStep(ProgramState& S, Form1Components& C, uint8_t b)
{
    if (S.EscSeen != 1)
        return;
    // A transfer's 91 ticks are its own, also when it starts between two ticks
    // right after the one before ended: no idle tick restarted the count then.
    if (b == 'Z' || b == 'C')
        S.WatchdogTicks = 0;
    switch (b) {
    case 'I':
        SendDeviceReply(C.ComPort1, 0);
        break;
    case 'Z':
        if (!C.Edit2.Text().empty()) {
            S.TxState = 1;
            S.RxState = RxTransmitting;
        } else {
            C.Sound.Beep();
            ShowMessage(S, C, Message::TxNameMissing);
        }
        break;
    case 'C':
        if (!C.Edit1.Text().empty()) {
            StartReception(S, C);
        } else {
            C.Sound.Beep();
            S.RxState = RxIdle;
            ShowMessage(S, C, Message::RxNameMissing);
        }
        break;
    default:
        break;
    }
}

}  // namespace

void ReceiveStep(ProgramState& S, Form1Components& C, uint8_t b)
{
    const int32_t state = S.RxState;
    if (state == RxIdle)
        TerminalStep(S, C, b);
    else if (state == RxCommand)
        CommandStep(S, C, b);
    else if (state >= RxStarted && state <= RxFinalPoll)
        ReceptionStep(S, C, b);

    // The header takes every byte as data, so it never starts or ends a pair.
    if (state >= RxIdle && state <= RxFinalPoll && state != RxHeader)
        S.EscSeen = b == kEsc ? 1 : 0;
}
