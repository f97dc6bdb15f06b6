#pragma once
// Timer1, once a second: the start-up port request and setup dialog, the transfer
// time-out after 91 busy ticks, and the deferred closing zero byte.

#include "shell/Form1Components.h"
#include "shell/ProgramState.h"

void Timer1Timer(ProgramState& S, Form1Components& C);

// The line to the device is gone or replaced: nothing of the old exchange may
// reach the next device, and waiting for the time-out would hand the next
// device's bytes to it. Ends the exchange at once, as the time-out does but
// without its message, and forgets everything the old line left half done: the
// header pacing (which may outlive its transmission), the owed zero byte, a
// pending ESC and a partial line. True when a transfer was under way; the
// message line then says it was abandoned.
bool EndExchange(ProgramState& S, Form1Components& C);

// The port went away (the component has closed it): no port is selected any
// more, and the exchange ends (EndExchange).
bool PortLost(ProgramState& S, Form1Components& C);
