#pragma once
// The serial component's characters-received event: every byte from the device
// passes here exactly once, first through the receive machine (receive/), then
// through the transmit machine (transmit/).

#include "shell/Form1Components.h"
#include "shell/ProgramState.h"

void ComPort1RxChar(ProgramState& S, Form1Components& C, int Count);
