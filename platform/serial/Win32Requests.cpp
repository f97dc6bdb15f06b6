#include "platform/serial/Win32Requests.h"

#include "platform/serial/System.h"

namespace platform {

HANDLE OpenBounded(SlowOpen& wait, const std::shared_ptr<CommCalls>& calls, const std::string& device, DWORD* error,
                   const std::function<void(const std::string&)>& onWaiting)
{
    struct Opened {
        HANDLE h = INVALID_HANDLE_VALUE;
        DWORD error = 0;
    };
    auto o = std::make_shared<Opened>();
    const std::wstring path = WindowsDevicePath(device);
    const OpenEnd end = wait.Run(
        [o, calls, path] {
            o->h = calls->Open(path.c_str());
            o->error = o->h == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
        },
        [] {},
        [o, calls] {
            if (o->h != INVALID_HANDLE_VALUE)
                calls->Close(o->h);
        },
        SlowPortWords(device), onWaiting);
    *error = end == OpenEnd::Done   ? o->error
             : end == OpenEnd::Cut ? ERROR_CANCELLED
                                   : ERROR_SEM_TIMEOUT;  // as the system says of a port that does not answer
    return end == OpenEnd::Done ? o->h : INVALID_HANDLE_VALUE;
}

void Watch(QWinEventNotifier& note, const Io& io)
{
    note.setEnabled(false);
    note.setHandle(io.ov.hEvent);
    note.setEnabled(true);
}

void Drop(QWinEventNotifier& note, std::unique_ptr<Io>& io, bool driverKeepsIt)
{
    note.setEnabled(false);
    if (driverKeepsIt)
        (void)io.release();  // the driver may still write into it: it must outlive us
    io.reset();
}

}  // namespace platform
