#pragma once
// Setup > COM 1 to COM 4: switch the line to another port, falling back to the
// previous one when the new port cannot be opened.

#include "shell/Form1Components.h"
#include "shell/ProgramState.h"

// One routine for COM11Click to COM41Click; n is 1 to 4.
void SelectPort(ProgramState& S, Form1Components& C, int n);
