// The system's own communications calls, and its words for what they refuse,
// turned into what a technician does about it.

#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/serial/CommCalls_win.h"
#include "platform/serial/SlowOpen.h"

namespace platform {
namespace {

class SystemCalls : public CommCalls {
public:
    HANDLE Open(const wchar_t* path) override
    {
        return ::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                             nullptr);
    }
    BOOL Close(HANDLE h) override { return ::CloseHandle(h); }
    BOOL SetupComm(HANDLE h, DWORD in, DWORD out) override { return ::SetupComm(h, in, out); }
    BOOL GetCommState(HANDLE h, DCB* dcb) override { return ::GetCommState(h, dcb); }
    BOOL SetCommState(HANDLE h, DCB* dcb) override { return ::SetCommState(h, dcb); }
    BOOL SetCommTimeouts(HANDLE h, COMMTIMEOUTS* t) override { return ::SetCommTimeouts(h, t); }
    BOOL ReadFile(HANDLE h, void* data, DWORD size, DWORD* done, OVERLAPPED* ov) override
    {
        return ::ReadFile(h, data, size, done, ov);
    }
    BOOL WriteFile(HANDLE h, const void* data, DWORD size, DWORD* done, OVERLAPPED* ov) override
    {
        return ::WriteFile(h, data, size, done, ov);
    }
    BOOL GetOverlappedResult(HANDLE h, OVERLAPPED* ov, DWORD* done, BOOL wait) override
    {
        return ::GetOverlappedResult(h, ov, done, wait);
    }
    BOOL CancelIoEx(HANDLE h, OVERLAPPED* ov) override { return ::CancelIoEx(h, ov); }
    BOOL PurgeComm(HANDLE h, DWORD flags) override { return ::PurgeComm(h, flags); }
    BOOL ClearCommError(HANDLE h, DWORD* errors, COMSTAT* stat) override { return ::ClearCommError(h, errors, stat); }
    BOOL GetCommModemStatus(HANDLE h, DWORD* status) override { return ::GetCommModemStatus(h, status); }
    BOOL EscapeCommFunction(HANDLE h, DWORD function) override { return ::EscapeCommFunction(h, function); }
};

}  // namespace

std::string OpenFailureWords(const std::string& device, DWORD error)
{
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return {};
    case ERROR_SEM_TIMEOUT:
        return NoAnswerWords(device);
    case ERROR_GEN_FAILURE:
        return device + ": the adapter does not work (the system says: device not functioning). Unplug it and "
                        "plug it back in; if it goes on, look at its driver in Device Manager";
    case ERROR_INVALID_NAME:
        return device + " is not a port name Windows knows: type it as Device Manager lists it (COM3, COM12)";
    default:
        return device + ": " + Describe(error);
    }
}

std::string LineWords(const DCB& d)
{
    const char* parity[] = {"no parity", "odd parity", "even parity", "mark parity", "space parity"};
    const char* stop[] = {"1 stop bit", "1.5 stop bits", "2 stop bits"};
    return std::to_string(d.BaudRate) + " baud, " + std::to_string(d.ByteSize) + " data bits, " +
           parity[std::min<int>(d.Parity, 4)] + ", " + stop[std::min<int>(d.StopBits, 2)] + ", flow control " +
           (d.fOutxCtsFlow ? "HARDWARE" : d.fOutX ? "XON/XOFF" : "NONE");
}

std::shared_ptr<CommCalls> SystemCommCalls() { return std::make_shared<SystemCalls>(); }

}  // namespace platform
