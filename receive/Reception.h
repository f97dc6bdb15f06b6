#pragma once
// F7 and the reception of a device's program (receive states 2 to 10).

#include <cstdint>

#include "platform/Form1Components.h"
#include "shell/ProgramState.h"

void FileinF71Click(ProgramState& S, platform::Form1Components& C);
// The error dialog's OK on the overwrite prompt.
void ConfirmOverwrite(ProgramState& S, platform::Form1Components& C);
