#pragma once
// The Win32 communications calls the Windows port makes, and nothing else: one
// seam, so that a model of a real line (modem lines, a driver that refuses a
// setting, line errors, a write held by CTS) can stand in for the system. Each
// call is the system's own, with its arguments and results; failures are told
// through SetLastError as the system does.

#include <windows.h>

#include <memory>
#include <string>

#include "platform/files/Describe_win.h"

namespace platform {

class SerialTransport;

struct CommCalls {
    virtual ~CommCalls() = default;
    // Opened for reading and writing, exclusive, overlapped.
    virtual HANDLE Open(const wchar_t* path) = 0;
    virtual BOOL Close(HANDLE h) = 0;
    virtual BOOL SetupComm(HANDLE h, DWORD in, DWORD out) = 0;
    virtual BOOL GetCommState(HANDLE h, DCB* dcb) = 0;
    virtual BOOL SetCommState(HANDLE h, DCB* dcb) = 0;
    virtual BOOL SetCommTimeouts(HANDLE h, COMMTIMEOUTS* t) = 0;
    virtual BOOL ReadFile(HANDLE h, void* data, DWORD size, DWORD* done, OVERLAPPED* ov) = 0;
    virtual BOOL WriteFile(HANDLE h, const void* data, DWORD size, DWORD* done, OVERLAPPED* ov) = 0;
    virtual BOOL GetOverlappedResult(HANDLE h, OVERLAPPED* ov, DWORD* done, BOOL wait) = 0;
    virtual BOOL CancelIoEx(HANDLE h, OVERLAPPED* ov) = 0;
    virtual BOOL PurgeComm(HANDLE h, DWORD flags) = 0;
    virtual BOOL ClearCommError(HANDLE h, DWORD* errors, COMSTAT* stat) = 0;
    virtual BOOL GetCommModemStatus(HANDLE h, DWORD* status) = 0;
    virtual BOOL EscapeCommFunction(HANDLE h, DWORD function) = 0;
};

// The system's own calls.
std::shared_ptr<CommCalls> SystemCommCalls();

// What a technician does about an open the system refused; empty for a port
// missing or held by another program (ExplainOpenFailure says those).
std::string OpenFailureWords(const std::string& device, DWORD error);
// The line as the DCB sets it, in the setup dialog's words.
std::string LineWords(const DCB& d);

// The Windows port on the given calls (MakeSerialTransport uses the system's).
std::unique_ptr<SerialTransport> MakeWin32Transport(std::shared_ptr<CommCalls> calls);

}  // namespace platform
