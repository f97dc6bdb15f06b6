#pragma once
// How many bytes the serial driver still holds for sending, the last check before
// the output-empty event (see QtSerialPort.cpp). handle is the open port's native
// handle: a file descriptor on Unix
// (DriverQueue_unix.cpp, TIOCOUTQ), a HANDLE on Windows (DriverQueue_win.cpp,
// ClearCommError). 0 when the driver cannot say.

#include <cstdint>

namespace platform {
int DriverOutputQueued(intptr_t handle);
}
