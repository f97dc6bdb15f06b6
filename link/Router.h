#pragma once
// The serial component's characters-received event: every byte from the device
// passes here exactly once, first through the receive machine (receive/), then
// through the transmit machine (transmit/).

#include "shell/Form1Components.h"
#include "shell/ProgramState.h"

void ComPort1RxChar(ProgramState& S, Form1Components& C, int Count);

// Written bytes have waited on the line about a second (held), or move again: the
// message line says what to check, then what it said before.
void ComPort1LineHeld(ProgramState& S, Form1Components& C, bool held);

// The port is slow to open (what it waits on), or no longer (empty): the message
// line says so while the window waits, then what it said before.
void ComPort1Waiting(ProgramState& S, Form1Components& C, const std::string& what);

// More line errors. In the terminal the message line counts them, with one beep;
// a transfer tells them at its end (link/Exchange.h).
void ComPort1LineErrors(ProgramState& S, Form1Components& C, const platform::LineErrors& seen);

