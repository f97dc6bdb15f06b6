#pragma once
// A model of a serial line behind the Win32 communications calls, as the
// documentation and a reference driver have them: a write waits while hardware
// flow control meets a low CTS (COMSTAT.fCtsHold set), PurgeComm(PURGE_TXABORT)
// ends it with ERROR_OPERATION_ABORTED, SetCommState may refuse, ClearCommError
// hands over the CE_* flags once, a cancelled read reports what it had copied.
// The device opens only by its \\.\ name and once at a time (a request the
// driver keeps holds it open), unless its driver lets a second open in (a virtual
// pair's may). A USB adapter's driver hands a write to the chip's
// FIFO at once and counts nothing queued; the chip gates it on CTS itself. An
// unplugged adapter fails every call as a pulled one does. Time is real; requests
// end by setting their OVERLAPPED's event, as the system does.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <string_view>
#include <utility>
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
    bool SlowBulkRead = false;  // a read of more than a byte copies what is there, then pends
    bool KeepsCancelled = false;  // a cancelled request is not given back (GiveBack does)
    size_t UsbFifo = 0;           // a USB adapter: the chip's FIFO, which no queue counts
    bool Unplugged = false;
    bool Exclusive = true;  // false: a second open is let in, a kept request or not
    int Polls = 0;          // GetOverlappedResult calls on a request still under way
    std::atomic<DWORD> OpenTakesMs{0};  // CreateFile blocks this long (a Bluetooth port whose device is off)
    std::wstring LastPath;
    std::atomic<int> Opens{0};  // CreateFile calls returned
    int StateSets = 0;  // SetCommState calls
    DCB Dcb{};

    FakeComm()
    {
        Dcb.DCBlength = sizeof Dcb;
        Dcb.BaudRate = 9600;
        Dcb.ByteSize = 8;
        Dcb.XonLim = 10;
        Dcb.XoffLim = 10;
    }

    bool HeldOpen() const { return open_; }
    // A write CTS holds, in the driver or in the chip.
    std::string Pending() const { return write_ ? writeData_ : fifo_; }

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
        if (high)
            Wire += std::exchange(fifo_, {});
    }
    // The driver gives back the requests it kept after their cancel.
    void GiveBack()
    {
        for (OVERLAPPED* ov : std::exchange(kept_, {}))
            Finish(ov, kCancelled, 0);
    }
    // The adapter pulled out: what is under way ends aborted, and every later call
    // fails as on a device that is gone.
    void Unplug()
    {
        Unplugged = true;
        for (OVERLAPPED* ov : {read_, bulk_, write_})
            if (ov)
                Finish(ov, kCancelled, 0);
    }

    // On a thread of the caller's: only OpenTakesMs and the open flag are shared.
    HANDLE Open(const wchar_t* path) override
    {
        ::Sleep(OpenTakesMs);
        LastPath = path;
        const DWORD e = OpenError                                          ? OpenError
                        : !std::wstring_view(path).starts_with(L"\\\\.\\") ? ERROR_FILE_NOT_FOUND
                        : Exclusive && (open_ || !kept_.empty())         ? ERROR_ACCESS_DENIED
                                                                           : 0;
        open_ = !e;
        ++Opens;
        return e ? (::SetLastError(e), INVALID_HANDLE_VALUE) : kHandle;
    }
    BOOL Close(HANDLE) override { return open_ = false, TRUE; }
    BOOL SetupComm(HANDLE, DWORD, DWORD) override { return TRUE; }
    BOOL GetCommState(HANDLE, DCB* dcb) override { return Unplugged ? Fail(ERROR_BAD_COMMAND) : (*dcb = Dcb, TRUE); }
    BOOL SetCommState(HANDLE, DCB* dcb) override
    {
        ++StateSets;
        if (Unplugged)
            return Fail(ERROR_BAD_COMMAND);
        if ((RefusedBaud && dcb->BaudRate == RefusedBaud) || dcb->XonLim > Buffer || dcb->XoffLim > Buffer)
            return Fail(ERROR_INVALID_PARAMETER);
        Dcb = *dcb;
        return TRUE;
    }
    BOOL SetCommTimeouts(HANDLE, COMMTIMEOUTS*) override { return TRUE; }
    BOOL ReadFile(HANDLE, void* data, DWORD size, DWORD* done, OVERLAPPED* ov) override
    {
        if (Unplugged)
            return Fail(ERROR_ACCESS_DENIED);
        ::ResetEvent(ov->hEvent);
        if (!Input.empty() && (size == 1 || (!SlowBulkRead && Input.size() >= size))) {
            Complete(ov, static_cast<char*>(data), size);
            return done && (*done = size), TRUE;
        }
        ov->Internal = kPending;
        if (size == 1) {
            read_ = ov, readData_ = static_cast<char*>(data);
        } else {
            // What waits is copied at once; the rest is waited for.
            bulk_ = ov, bulkCopied_ = std::min<size_t>(size, Input.size());
            Input.copy(static_cast<char*>(data), bulkCopied_);
            Input.erase(0, bulkCopied_);
        }
        return Fail(ERROR_IO_PENDING);
    }
    BOOL WriteFile(HANDLE, const void* data, DWORD size, DWORD*, OVERLAPPED* ov) override
    {
        if (Unplugged)
            return Fail(ERROR_ACCESS_DENIED);
        ::ResetEvent(ov->hEvent);
        writeData_.assign(static_cast<const char*>(data), size);
        if (UsbFifo && fifo_.size() + size <= UsbFifo) {
            // Handed to the chip at once, sent when CTS lets it.
            (Dcb.fOutxCtsFlow && !Cts ? fifo_ : Wire) += writeData_;
            Finish(ov, 0, size);
            return TRUE;
        }
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
            return ++Polls, Fail(ERROR_IO_INCOMPLETE);
        if (ov->Internal == kCancelled)
            return Fail(ERROR_OPERATION_ABORTED);
        return TRUE;
    }
    BOOL CancelIoEx(HANDLE, OVERLAPPED* ov) override
    {
        for (OVERLAPPED** pending : {&bulk_, &read_, &write_}) {
            if (!*pending || (ov && ov != *pending))
                continue;
            if (KeepsCancelled)
                kept_.push_back(std::exchange(*pending, nullptr));
            else  // a cancelled read reports what it had copied
                Finish(*pending, kCancelled, *pending == bulk_ ? bulkCopied_ : 0);
        }
        return TRUE;
    }
    BOOL PurgeComm(HANDLE, DWORD flags) override
    {
        if (flags & PURGE_RXCLEAR)
            Input.clear();
        if (flags & PURGE_TXCLEAR)
            fifo_.clear();  // the adapter's driver empties the chip too
        if ((flags & PURGE_TXABORT) && write_)
            Finish(write_, kCancelled, 0);
        return TRUE;
    }
    BOOL ClearCommError(HANDLE, DWORD* errors, COMSTAT* stat) override
    {
        if (Unplugged)
            return Fail(ERROR_BAD_COMMAND);
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
        if (Unplugged)
            return Fail(ERROR_BAD_COMMAND);
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
    std::vector<OVERLAPPED*> kept_;  // cancelled, not given back
    char* readData_ = nullptr;
    size_t bulkCopied_ = 0;
    std::string writeData_, fifo_;
    std::atomic<bool> open_{false};
};
