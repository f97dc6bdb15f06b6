#include "receive/Dispatcher.h"

#include "receive/Reception.h"
#include "shell/Messages.h"
#include "transmit/Transmission.h"

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kCr = 0x0D;
constexpr uint8_t kLf = 0x0A;

// A device that never sends LF must not grow the display line without bound; such a
// line is shown in pieces rather than dropped.
constexpr size_t kLongestDisplayLine = 4096;

void TerminalByte(ProgramState& S, platform::Form1Components& C, uint8_t b)
{
    if (S.EscSeen == 1 && b == 'A')
        S.RxState = 1;  // and the "A" is still text
    if (b != kCr && b != kLf)
        S.RxText.push_back(static_cast<char>(b));
    S.EscSeen = b == kEsc ? 1 : 0;
    if (b == kLf || S.RxText.size() >= kLongestDisplayLine) {
        C.Memo1.AppendLine(S.RxText);
        S.RxText.clear();
    }
}

void CommandByte(ProgramState& S, platform::Form1Components& C, uint8_t b)
{
    if (S.EscSeen == 1) {
        switch (b) {
        case 'I':
            SendDeviceReply(C.ComPort1, 0);
            break;
        case 'Z':
            if (!C.Edit2.Text().empty()) {
                S.TxState = 1;
                S.RxState = 100;
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
                S.RxState = 0;
                ShowMessage(S, C, Message::RxNameMissing);
            }
            break;
        default:
            break;
        }
    }
    S.EscSeen = b == kEsc ? 1 : 0;
}

void ReceiveStep(ProgramState& S, platform::Form1Components& C, uint8_t b)
{
    switch (S.RxState) {
    case 0:
        TerminalByte(S, C, b);
        break;
    case 1:
        CommandByte(S, C, b);
        break;
    default:
        ReceptionStep(S, C, b);
        break;
    }
}

}  // namespace

void ComPort1RxChar(ProgramState& S, platform::Form1Components& C, int Count)
{
    std::string one;
    for (int i = 0; i < Count; ++i) {
        one.clear();
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
