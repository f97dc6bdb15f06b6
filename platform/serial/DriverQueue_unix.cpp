#include "platform/serial/System.h"

#include <sys/ioctl.h>
#include <termios.h>

namespace platform {

int DriverOutputQueued(intptr_t handle)
{
    int queued = 0;
    if (::ioctl(static_cast<int>(handle), TIOCOUTQ, &queued) == 0)
        return queued;
    return 0;
}

}  // namespace platform
