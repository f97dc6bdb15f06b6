#pragma once
// F8 and the transmit machine (TxState 0 to 4).

#include <cstdint>

#include "platform/Form1Components.h"
#include "shell/ProgramState.h"

void FileoutF81Click(ProgramState& S, platform::Form1Components& C);
// One received byte, after the receive machine has handled it.
void TransmitStep(ProgramState& S, platform::Form1Components& C, uint8_t b);
