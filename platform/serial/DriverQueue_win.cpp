#include "platform/serial/System.h"

#include <windows.h>

namespace platform {

// COMSTAT.cbOutQue is the count of bytes not yet transmitted. ClearCommError is
// the only call that reports it; it also resets the port's error flags, which the
// serial component does not read (a lost device shows as a failed read or write).
int DriverOutputQueued(intptr_t handle)
{
    DWORD errors = 0;
    COMSTAT stat{};
    if (::ClearCommError(reinterpret_cast<HANDLE>(handle), &errors, &stat))
        return static_cast<int>(stat.cbOutQue);
    return 0;
}

}  // namespace platform
