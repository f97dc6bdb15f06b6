#include "transmit/Pacing.h"
void ComPort1TxEmpty(ProgramState& S) { S.TxEmpty = 1; }
void Timer2Timer(ProgramState&, platform::Form1Components&) {}
void StopHeaderPacing(ProgramState& S)
{
    S.HdrSendActive = 0;
    S.HdrSendOffset = 0;
}
