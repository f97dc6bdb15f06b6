#pragma once
// The Win32 port's requests to the driver, apart from the port's logic
// (Win32Transport.cpp): the open, bounded in time, and the overlapped requests,
// each with its own buffer and event, which the driver owns until it is done.

#include <windows.h>

#include <QWinEventNotifier>
#include <functional>
#include <memory>
#include <string>

#include "platform/serial/CommCalls_win.h"
#include "platform/serial/SlowOpen.h"

namespace platform {

// CreateFileW on a Bluetooth port whose device is off or away blocks until the
// Bluetooth stack gives up, tens of seconds: it runs as a SlowOpen, told to
// onWaiting, and a handle that comes back after the wait is closed there.
// error: the system's code; ERROR_SEM_TIMEOUT when given up, ERROR_CANCELLED when
// cut by a Close.
HANDLE OpenBounded(SlowOpen& wait, const std::shared_ptr<CommCalls>& calls, const std::string& device, DWORD* error,
                   const std::function<void(const std::string&)>& onWaiting);

// An overlapped request, its buffer and its event, which the driver owns until
// it is done.
struct Io {
    OVERLAPPED ov{};
    std::string data;
    Io() { ov.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr); }
    ~Io() { ::CloseHandle(ov.hEvent); }
    Io(const Io&) = delete;
    Io& operator=(const Io&) = delete;
};

// The request's event is watched from Qt's loop while it is under way.
void Watch(QWinEventNotifier& note, const Io& io);

// Given back, or left to the driver: its event is watched no more.
void Drop(QWinEventNotifier& note, std::unique_ptr<Io>& io, bool driverKeepsIt = false);

}  // namespace platform
