#pragma once
// A model of a serial line behind the Win32 communications calls, as the
// documentation and a reference driver have them: a write waits while hardware
// flow control meets a low CTS (COMSTAT.fCtsHold set), PurgeComm(PURGE_TXABORT)
// ends it with ERROR_OPERATION_ABORTED, SetCommState may refuse, ClearCommError
// hands over the CE_* flags once, a cancelled read may report a count. Time is
// real; requests end by setting their OVERLAPPED's event, as the system does.
#include <windows.h>

#include <string>
#include <vector>

#include "platform/serial/CommCalls_win.h"

constexpr ULONG_PTR kPending = 0x103;        // STATUS_PENDING
constexpr ULONG_PTR kCancelled = 0xC0000120;  // STATUS_CANCELLED

class FakeComm : public platform::CommCalls {
public:
    // The line.
    std::string Input;  // arrived, not yet read
    std::string Wire;   // what has left
    bool Cts = true;
    DWORD Errors = 0;  // CE_* flags not yet cleared
    // The driver.
    DWORD OpenError = 0;       // CreateFile fails with it
    DWORD RefusedBaud = 0;     // SetCommState refuses this speed
    WORD Buffer = 4096;        // XonLim or XoffLim above it are refused
    bool SlowBulkRead = false;  // a read of more than a byte pends though the bytes are there
    bool KeepsCancelled = false;  // a cancelled request is never given back
    DCB Dcb{};

    FakeComm()
    {
        Dcb.DCBlength = sizeof Dcb;
        Dcb.BaudRate = 9600;
        Dcb.ByteSize = 8;
        Dcb.XonLim = 10;
        Dcb.XoffLim = 10;
    }

    std::string Pending() const { return write_ ? writeData_ : std::string(); }  // a write CTS holds

    // Bytes from the device, with the errors the UART flagged for them.
    void Arrive(const std::string& bytes, DWORD errors = 0)
    {
        Input += bytes;
        Errors |= errors;
        if (read_ && !Input.empty())
            Complete(read_, readData_, 1);
    }
    void SetCts(bool high)
    {
        Cts = high;
        if (high && write_) {
            Wire += writeData_;
            Finish(write_, 0, writeData_.size());
        }
    }

    HANDLE Open(const wchar_t*) override
    {
        if (OpenError) {
            ::SetLastError(OpenError);
            return INVALID_HANDLE_VALUE;
        }
        return kHandle;
    }
    BOOL Close(HANDLE) override { return TRUE; }
    BOOL SetupComm(HANDLE, DWORD, DWORD) override { return TRUE; }
    BOOL GetCommState(HANDLE, DCB* dcb) override { return *dcb = Dcb, TRUE; }
    BOOL SetCommState(HANDLE, DCB* dcb) override
    {
        if ((RefusedBaud && dcb->BaudRate == RefusedBaud) || dcb->XonLim > Buffer || dcb->XoffLim > Buffer)
            return Fail(ERROR_INVALID_PARAMETER);
        Dcb = *dcb;
        return TRUE;
    }
    BOOL SetCommTimeouts(HANDLE, COMMTIMEOUTS*) override { return TRUE; }
    BOOL ReadFile(HANDLE, void* data, DWORD size, DWORD* done, OVERLAPPED* ov) override
    {
        ::ResetEvent(ov->hEvent);
        if (!Input.empty() && (size == 1 || (!SlowBulkRead && Input.size() >= size))) {
            Complete(ov, static_cast<char*>(data), size);
            return done && (*done = size), TRUE;
        }
        ov->Internal = kPending;
        if (size == 1)
            read_ = ov, readData_ = static_cast<char*>(data);
        else
            bulk_ = ov, bulkSize_ = size;
        return Fail(ERROR_IO_PENDING);
    }
    BOOL WriteFile(HANDLE, const void* data, DWORD size, DWORD*, OVERLAPPED* ov) override
    {
        ::ResetEvent(ov->hEvent);
        writeData_.assign(static_cast<const char*>(data), size);
        if (Dcb.fOutxCtsFlow && !Cts) {
            ov->Internal = kPending;
            write_ = ov;
            return Fail(ERROR_IO_PENDING);
        }
        Wire += writeData_;
        Finish(ov, 0, size);
        return TRUE;
    }
    BOOL GetOverlappedResult(HANDLE, OVERLAPPED* ov, DWORD* done, BOOL wait) override
    {
        if (ov->Internal == kPending && wait)
            ::Sleep(5000);  // a driver that keeps it: the caller is stuck this long
        *done = static_cast<DWORD>(ov->InternalHigh);
        if (ov->Internal == kPending)
            return Fail(ERROR_IO_INCOMPLETE);
        if (ov->Internal == kCancelled)
            return Fail(ERROR_OPERATION_ABORTED);
        return TRUE;
    }
    BOOL CancelIoEx(HANDLE, OVERLAPPED* ov) override
    {
        if (KeepsCancelled)
            return TRUE;
        // A cancelled read reports what its buffer holds: nothing it read.
        if (bulk_ && (!ov || ov == bulk_))
            Finish(bulk_, kCancelled, bulkSize_);
        if (read_ && (!ov || ov == read_))
            Finish(read_, kCancelled, 0);
        if (write_ && (!ov || ov == write_))
            Finish(write_, kCancelled, 0);
        return TRUE;
    }
    BOOL PurgeComm(HANDLE, DWORD flags) override
    {
        if (flags & PURGE_RXCLEAR)
            Input.clear();
        if ((flags & PURGE_TXABORT) && write_)
            Finish(write_, kCancelled, 0);
        return TRUE;
    }
    BOOL ClearCommError(HANDLE, DWORD* errors, COMSTAT* stat) override
    {
        if (errors)
            *errors = Errors;
        Errors = 0;
        if (stat) {
            *stat = COMSTAT{};
            stat->cbInQue = static_cast<DWORD>(Input.size());
            stat->cbOutQue = write_ ? static_cast<DWORD>(writeData_.size()) : 0;
            stat->fCtsHold = write_ && !Cts;
        }
        return TRUE;
    }
    BOOL GetCommModemStatus(HANDLE, DWORD* status) override
    {
        *status = Cts ? MS_CTS_ON : 0;
        return TRUE;
    }
    BOOL EscapeCommFunction(HANDLE, DWORD) override { return TRUE; }

private:
    static inline const HANDLE kHandle = reinterpret_cast<HANDLE>(0x5e4);

    static BOOL Fail(DWORD error)
    {
        ::SetLastError(error);
        return FALSE;
    }
    // A read takes its bytes from the input.
    void Complete(OVERLAPPED* ov, char* data, size_t n)
    {
        Input.copy(data, n);
        Input.erase(0, n);
        Finish(ov, 0, n);
    }
    void Finish(OVERLAPPED* ov, ULONG_PTR status, size_t n)
    {
        ov->Internal = status;
        ov->InternalHigh = n;
        ::SetEvent(ov->hEvent);
        for (OVERLAPPED** pending : {&read_, &bulk_, &write_})
            *pending = *pending == ov ? nullptr : *pending;
    }

    OVERLAPPED *read_ = nullptr, *bulk_ = nullptr, *write_ = nullptr;
    char* readData_ = nullptr;
    DWORD bulkSize_ = 0;
    std::string writeData_;
};
