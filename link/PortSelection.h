#pragma once
// Setup > COM 1 to COM 4: switch the line to another port, falling back to the
// previous one when the new port cannot be opened.

#include "shell/Form1Components.h"
#include "shell/ProgramState.h"

// One routine for COM11Click to COM41Click; n is 1 to 4.
void SelectPort(ProgramState& S, Form1Components& C, int n);

// Setup > the setup dialog, closed with OK on a changed choice (the component
// holds it): taken as the menu choice of its name, even the name in use, whose
// device or line may have changed; the line settings are the dialog's. A name
// none of COM1..COM4 leaves the line as it was and says the port is not ready.
void TakeSetupChoice(ProgramState& S, Form1Components& C);
