#pragma once
// The header block goes out one byte per Timer2 tick, each after the previous
// write has drained. The pacing ends at the end of the block, or with its
// transmission if that ends first.

#include "shell/Form1Components.h"
#include "shell/ProgramState.h"

void ComPort1TxEmpty(ProgramState& S);
void Timer2Timer(ProgramState& S, Form1Components& C);
