#include "link/Exchange.h"

#include "link/SetCommit.h"
#include "link/StoredFileSet.h"

bool TransferUnderWay(const ProgramState& S) { return S.RxState > RxCommand || S.TxState != TxIdle; }

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

void StopHeaderPacing(ProgramState& S)
{
    S.HdrSendActive = 0;
    S.HdrSendOffset = 0;
}

void EndTransfer(ProgramState& S, Form1Components& C)
{
    // A device that asked for the text early has the header it wanted: bytes
    // paced on would land among the replies to its next polls.
    StopHeaderPacing(S);
    S.RxState = RxIdle;
    S.TxState = TxIdle;
    C.ProgressBar1.SetPosition(0);
    C.ProgressBar1.Hide();
}

void DropAbandonedReception(const ProgramState& S, Form1Components& C)
{
    if (S.RxState >= RxStarted && S.RxState <= RxFinalPoll)
        DropAside(C.Files, S.RxFileName);
}

void SetOutgoingNames(ProgramState& S, std::string name)
{
    S.TxNextFileName.clear();
    NameSet(name, S.TxFileName, S.TxHdrPath, S.TxSrcPath);
}

void TakeOutgoingSet(ProgramState& S, Form1Components& C, const std::string& name)
{
    C.Edit2.SetText(name);
    if (S.TxState != TxIdle)
        S.TxNextFileName = name;
    else
        SetOutgoingNames(S, name);
}

void CountLineErrorsFromHere(ProgramState& S, Form1Components& C)
{
    S.LineErrorsAtStart = C.ComPort1.LineErrorsSeen();
}

platform::LineErrors LineErrorsSinceStart(ProgramState& S, Form1Components& C)
{
    const platform::LineErrors now = C.ComPort1.LineErrorsSeen();
    const platform::LineErrors& was = S.LineErrorsAtStart;
    if (now.Total() < was.Total())
        return now;  // the port opened again meanwhile: all it saw is of this transfer
    return {now.Framing - was.Framing, now.Parity - was.Parity, now.Overrun - was.Overrun, now.Break - was.Break};
}
