#pragma once
// Timer1, once a second: the start-up port request and setup dialog, the transfer
// time-out after 91 busy ticks, and the deferred closing zero byte.

#include "platform/Form1Components.h"
#include "shell/ProgramState.h"

void Timer1Timer(ProgramState& S, platform::Form1Components& C);
