#include "transmit/Pacing.h"

#include <string>

#include "link/Exchange.h"
#include "transmit/Transmission.h"

void ComPort1TxEmpty(ProgramState& S) { S.TxEmpty = 1; }

void Timer2Timer(ProgramState& S, Form1Components& C)
{
    if (S.HdrSendActive != 1 || S.TxEmpty != 1)
        return;
    uint8_t b = 0;
    size_t got = 0;
    // Opened and closed on every tick that sends: no header byte stays in memory.
    auto f = C.Files.OpenRead(S.TxHdrPath);
    const bool readable = f && f->Seek(static_cast<uint64_t>(S.HdrSendOffset));
    if (readable)
        got = f->Read(&b, 1);
    if (!readable || f->Failed()) {
        // The header would reach the device cut short: say so rather than let
        // the transmission look finished.
        AbandonTransmission(S, C, Message::HdrNotFound);
        return;
    }
    ++S.HdrSendOffset;
    if (got == 1 && S.HdrSendOffset < 129) {
        platform::AdvanceProgress(C.ProgressBar1);
        if (b == 0)
            C.ComPort1.TransmitChar('\0');  // as one byte, never an empty string
        else
            C.ComPort1.WriteStr(std::string(1, static_cast<char>(b)));
        S.TxEmpty = 0;
    } else {
        StopHeaderPacing(S);  // end of the file, or 128 bytes sent
    }
}
