#include "transmit/Pacing.h"

void ComPort1TxEmpty(ProgramState& S) { S.TxEmpty = 1; }

void Timer2Timer(ProgramState& S, platform::Form1Components& C)
{
    if (S.HdrSendActive != 1 || S.TxEmpty != 1)
        return;
    uint8_t b = 0;
    size_t got = 0;
    auto f = C.Files.OpenRead(S.TxHdrPath);
    if (f && f->Seek(static_cast<uint64_t>(S.HdrSendOffset)))
        got = f->Read(&b, 1);
    ++S.HdrSendOffset;
    if (got == 1 && S.HdrSendOffset < 129) {
        platform::AdvanceProgress(C.ProgressBar1);
        if (b == 0)
            C.ComPort1.TransmitChar('\0');
        else
            C.ComPort1.WriteStr(std::string(1, static_cast<char>(b)));
        S.TxEmpty = 0;
    } else {
        StopHeaderPacing(S);
    }
}

void StopHeaderPacing(ProgramState& S)
{
    S.HdrSendActive = 0;
    S.HdrSendOffset = 0;
}
