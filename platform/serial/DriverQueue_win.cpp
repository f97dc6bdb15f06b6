#include "platform/serial/System.h"

#include <windows.h>

namespace platform {

// COMSTAT.cbOutQue is the count of bytes not yet transmitted. ClearCommError is
// the only call that reports it; it also resets the port's error flags, so the
// Windows port (Win32Transport.cpp) makes the call itself and counts them: this
// is for a caller that has no port of its own.
int DriverOutputQueued(intptr_t handle)
{
    DWORD errors = 0;
    COMSTAT stat{};
    if (::ClearCommError(reinterpret_cast<HANDLE>(handle), &errors, &stat))
        return static_cast<int>(stat.cbOutQue);
    return 0;
}

}  // namespace platform
