#include "receive/Dispatcher.h"

#include <string>

#include "receive/Reception.h"
#include "shell/Messages.h"
#include "transmit/Transmission.h"

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kCr = 0x0D;
constexpr uint8_t kLf = 0x0A;

void TerminalStep(ProgramState& S, platform::Form1Components& C, uint8_t b)
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

void CommandStep(ProgramState& S, platform::Form1Components& C, uint8_t b)
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

void ReceiveStep(ProgramState& S, platform::Form1Components& C, uint8_t b)
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

void ComPort1RxChar(ProgramState& S, platform::Form1Components& C, int Count)
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

void SendDeviceReply(platform::SerialPort& port, uint8_t index)
{
    static const char kReplies[5][6] = {
        "\x1B" "AB@B",  // 0: command state, header stored, after a section
        "\x1B" "BB@B",  // 1: a chunk of section text stored
        "\x1B" "BA@B",  // 2: a section ended
        "\x1B" "AK@B",
        "\x1B" "AA@B",
    };
    if (index > 4)
        return;
    port.WriteStr(std::string(kReplies[index], 5));
}
