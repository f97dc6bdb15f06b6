#pragma once
// The receive machine: every byte from the device passes here first, then through
// the transmit machine (link/Router.h hands it to both).
//
// It keeps its numbered states (RxState, named in shell/ProgramState.h):
//   0 terminal: text lines go to Memo1; ESC "A" enters command state
//   1 command: ESC "I" is answered, ESC "C" starts a reception, ESC "Z" a transmission
//   2..11 a reception (receive/Reception.h), 100 a transmission under way.
// EscSeen says the previous byte handled was ESC, across events, so an escape pair
// split between two events still counts.

#include <cstdint>

#include "shell/Form1Components.h"
#include "shell/ProgramState.h"

// The receive machine on one byte.
void ReceiveStep(ProgramState& S, Form1Components& C, uint8_t b);
