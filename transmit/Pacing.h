#pragma once
// The header block goes out one byte per Timer2 tick, each after the previous
// write has drained. The pacing ends at the end of the block, or with its
// transmission if that ends first.

#include "platform/Form1Components.h"
#include "shell/ProgramState.h"

void ComPort1TxEmpty(ProgramState& S);
void Timer2Timer(ProgramState& S, platform::Form1Components& C);

// Ends a header pacing under way, so that no later tick sends a byte of an
// abandoned transmission and the next one starts from offset 0.
void StopHeaderPacing(ProgramState& S);
