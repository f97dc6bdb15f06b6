#include "platform/serial/Win32Requests.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace platform {

namespace {

constexpr auto kOpenBound = std::chrono::seconds(5);

}  // namespace

HANDLE OpenBounded(const std::shared_ptr<CommCalls>& calls, const std::wstring& path, DWORD* error)
{
    struct Pending {
        std::mutex m;
        std::condition_variable cv;
        bool done = false, givenUp = false;
        HANDLE h = INVALID_HANDLE_VALUE;
        DWORD error = 0;
    };
    auto p = std::make_shared<Pending>();
    std::thread([p, calls, path] {
        const HANDLE h = calls->Open(path.c_str());
        const DWORD e = h == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
        std::lock_guard lock(p->m);
        if (p->givenUp) {
            if (h != INVALID_HANDLE_VALUE)
                calls->Close(h);
            return;
        }
        p->h = h, p->error = e, p->done = true;
        p->cv.notify_one();
    }).detach();
    std::unique_lock lock(p->m);
    if (!p->cv.wait_for(lock, kOpenBound, [&] { return p->done; })) {
        p->givenUp = true;
        *error = ERROR_SEM_TIMEOUT;  // as the system says of a port that does not answer
        return INVALID_HANDLE_VALUE;
    }
    *error = p->error;
    return p->h;
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
