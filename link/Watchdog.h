#pragma once
// Timer1, once a second: the start-up port request and setup dialog, the transfer
// time-out after 91 busy ticks, and the deferred closing zero byte.

#include "platform/Form1Components.h"
#include "shell/ProgramState.h"

void Timer1Timer(ProgramState& S, platform::Form1Components& C);

// The port went away (the component has closed it): no port is selected any
// more. An exchange under it cannot go on, and waiting
// for the time-out would hand the next device's bytes to it. Ends it at once,
// as the time-out does but without its message; true when a transfer was
// under way.
bool PortLost(ProgramState& S, platform::Form1Components& C);
