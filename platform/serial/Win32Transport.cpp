// The serial component's port on the Win32 communications API.
//
// Reading: with every COMMTIMEOUTS field zero, an overlapped ReadFile of one byte
// completes when a byte arrives. Its event handle is watched by a
// QWinEventNotifier, so arrival is an event of Qt's loop; the byte is then followed
// by a read of what ClearCommError says waits in the driver (cbInQue), and the
// one-byte read is started again. WaitCommEvent and ReadIntervalTimeout = MAXDWORD
// are not used: under Wine on a pseudo-terminal the first reports an empty mask at
// once and the second waits out its whole time-out.
//
// Writing: one overlapped WriteFile at a time; what is written meanwhile waits
// here and goes as the next one.
#include <windows.h>

#include <QObject>
#include <QTimer>
#include <QWinEventNotifier>
#include <algorithm>
#include <cerrno>

#include "platform/serial/System.h"
#include "platform/serial/PortNames.h"
#include "platform/serial/SerialTransport.h"

namespace platform {
namespace {

std::string Describe(DWORD error)
{
    char* text = nullptr;
    const DWORD n = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
        0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string s = n && text ? std::string(text, n) : "error " + std::to_string(error);
    ::LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.'))
        s.pop_back();
    return s;
}

class Win32Transport : public SerialTransport {
public:
    Win32Transport()
        : readEvent_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          writeEvent_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          takeEvent_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          readNote_(readEvent_),
          writeNote_(writeEvent_)
    {
        readNote_.setEnabled(false);
        writeNote_.setEnabled(false);
        QObject::connect(&readNote_, &QWinEventNotifier::activated, &context_, [this] { ReadDone(); });
        QObject::connect(&writeNote_, &QWinEventNotifier::activated, &context_, [this] { WriteDone(); });
    }
    ~Win32Transport() override
    {
        Close();
        readNote_.setEnabled(false);
        writeNote_.setEnabled(false);
        ::CloseHandle(readEvent_);
        ::CloseHandle(writeEvent_);
        ::CloseHandle(takeEvent_);
    }

    int Open(const std::string& device) override
    {
        handle_ = ::CreateFileW(WindowsDevicePath(device).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE)
            return ErrnoOfOpenError(::GetLastError());
        dcb_ = DCB{};
        dcb_.DCBlength = sizeof dcb_;
        if (!::GetCommState(handle_, &dcb_)) {
            ::CloseHandle(handle_);
            handle_ = INVALID_HANDLE_VALUE;
            return ENOTTY;
        }
        ::SetupComm(handle_, static_cast<DWORD>(kSerialReadBuffer), 2048);
        dcb_.fBinary = TRUE;
        dcb_.fAbortOnError = FALSE;  // an error must not stop every later read and write
        dcb_.fNull = FALSE;
        dcb_.fErrorChar = FALSE;
        dcb_.fDsrSensitivity = FALSE;
        dcb_.fOutxDsrFlow = FALSE;
        dcb_.fDtrControl = DTR_CONTROL_ENABLE;
        dcb_.fRtsControl = RTS_CONTROL_ENABLE;
        Apply();
        COMMTIMEOUTS none{};
        ::SetCommTimeouts(handle_, &none);
        ++session_;
        lostPending_ = false;
        readNote_.setEnabled(true);
        writeNote_.setEnabled(true);
        StartRead();
        return 0;
    }

    void Close() override
    {
        if (handle_ == INVALID_HANDLE_VALUE)
            return;
        ++session_;  // a loss told later is of this session, not of the next
        ::CancelIo(handle_);
        DWORD n = 0;
        if (reading_)
            ::GetOverlappedResult(handle_, &readOv_, &n, TRUE);
        if (writing_)
            ::GetOverlappedResult(handle_, &writeOv_, &n, TRUE);
        reading_ = writing_ = false;
        ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        readNote_.setEnabled(false);
        writeNote_.setEnabled(false);
        ::ResetEvent(readEvent_);
        ::ResetEvent(writeEvent_);
        received_.clear();
        sending_.clear();
        queued_.clear();
    }
    bool IsOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }

    void SetBaudRate(int baud) override
    {
        dcb_.BaudRate = static_cast<DWORD>(baud);
        Apply();
    }
    void SetDataBits(int bits) override
    {
        dcb_.ByteSize = static_cast<BYTE>(bits);
        Apply();
    }
    void SetStopBits(StopBits stop) override
    {
        dcb_.StopBits = stop == StopBits::Two ? TWOSTOPBITS : stop == StopBits::OnePointFive ? ONE5STOPBITS : ONESTOPBIT;
        Apply();
    }
    void SetParity(Parity p) override
    {
        dcb_.Parity = p == Parity::Odd     ? ODDPARITY
                      : p == Parity::Even  ? EVENPARITY
                      : p == Parity::Mark  ? MARKPARITY
                      : p == Parity::Space ? SPACEPARITY
                                           : NOPARITY;
        dcb_.fParity = p != Parity::None;
        Apply();
    }
    void SetFlowControl(FlowControl flow) override
    {
        flow_ = flow;
        dcb_.fOutxCtsFlow = flow == FlowControl::Hardware;
        dcb_.fRtsControl = !DrivesRts(flow) ? RTS_CONTROL_HANDSHAKE : rts_ ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        const bool software = flow == FlowControl::Software;
        dcb_.fOutX = dcb_.fInX = software;
        dcb_.XonChar = 0x11;
        dcb_.XoffChar = 0x13;
        dcb_.XonLim = 2048;
        dcb_.XoffLim = 512;
        Apply();
    }
    // The DCB keeps the line as set, so that a later change of the line settings
    // does not put it back. A line the port cannot set (a pseudo-terminal under
    // Wine has none) is left as it is.
    void SetDTR(bool on) override
    {
        dcb_.fDtrControl = on ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        ::EscapeCommFunction(handle_, on ? SETDTR : CLRDTR);
    }
    void SetRTS(bool on) override
    {
        rts_ = on;
        if (!DrivesRts(flow_))
            return;
        dcb_.fRtsControl = on ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        ::EscapeCommFunction(handle_, on ? SETRTS : CLRRTS);
    }
    void Settle() override
    {
        DWORD errors = 0;
        ::ClearCommError(handle_, &errors, nullptr);
    }

    int64_t BytesAvailable() const override { return static_cast<int64_t>(received_.size()); }
    int64_t Read(char* data, int64_t max) override
    {
        const size_t n = std::min(received_.size(), static_cast<size_t>(std::max<int64_t>(max, 0)));
        std::copy_n(received_.data(), n, data);
        received_.erase(0, n);
        if (IsOpen() && !reading_)
            StartRead();  // the buffer had been full
        return static_cast<int64_t>(n);
    }
    bool TakeMore() override { return Collect(); }
    void Write(const char* data, int64_t size) override
    {
        queued_.append(data, static_cast<size_t>(size));
        if (!writing_)
            StartWrite();
    }
    bool OutputPending() override
    {
        return IsOpen() && (writing_ || !queued_.empty() || DriverOutputQueued(reinterpret_cast<intptr_t>(handle_)) > 0);
    }
    void Clear(bool input, bool output) override
    {
        if (!IsOpen())
            return;
        if (input) {
            Collect(false);  // a byte the one-byte read took goes too
            received_.clear();
            ::PurgeComm(handle_, PURGE_RXCLEAR);
            if (!reading_)
                StartRead();
        }
        if (output) {
            queued_.clear();
            purged_ = writing_;
            ::PurgeComm(handle_, PURGE_TXCLEAR | (writing_ ? PURGE_TXABORT : 0));
        }
    }

private:
    int64_t Room() const { return kSerialReadBuffer - static_cast<int64_t>(received_.size()); }

    void Apply()
    {
        if (IsOpen())
            ::SetCommState(handle_, &dcb_);
    }

    void StartRead()
    {
        if (Room() <= 0 || lostPending_)
            return;
        readOv_ = OVERLAPPED{};
        readOv_.hEvent = readEvent_;
        reading_ = true;
        if (::ReadFile(handle_, &byte_, 1, nullptr, &readOv_))
            QTimer::singleShot(0, &context_, [this] { ReadDone(); });  // done at once: the event may not say so
        else if (::GetLastError() != ERROR_IO_PENDING) {
            reading_ = false;
            LoseLater(::GetLastError());
        }
    }

    void ReadDone()
    {
        if (Collect() && OnReadyRead)
            OnReadyRead();
    }

    // Takes the byte of a finished one-byte read and what waits behind it, and
    // starts the next read. False when the read was still under way. A loss is
    // told at once only from the event loop and from TakeMore.
    bool Collect(bool tellNow = true)
    {
        if (!reading_)
            return false;
        DWORD n = 0;
        if (!::GetOverlappedResult(handle_, &readOv_, &n, FALSE)) {
            const DWORD e = ::GetLastError();
            if (e == ERROR_IO_INCOMPLETE)
                return false;
            reading_ = false;
            ::ResetEvent(readEvent_);
            tellNow ? Lose(e) : LoseLater(e);
            return false;
        }
        reading_ = false;
        ::ResetEvent(readEvent_);
        if (n == 0) {  // the device closed its end
            tellNow ? Lose(ERROR_HANDLE_EOF) : LoseLater(ERROR_HANDLE_EOF);
            return false;
        }
        received_ += byte_;
        TakeWaiting();
        StartRead();
        return true;
    }

    void TakeWaiting()
    {
        DWORD errors = 0;
        COMSTAT stat{};
        if (!::ClearCommError(handle_, &errors, &stat))
            return;
        const DWORD want = static_cast<DWORD>(std::min<int64_t>(stat.cbInQue, Room()));
        if (want == 0)
            return;
        std::string buffer(want, '\0');
        OVERLAPPED ov{};
        ov.hEvent = takeEvent_;
        DWORD n = 0;
        if (!::ReadFile(handle_, buffer.data(), want, &n, &ov)) {
            if (::GetLastError() != ERROR_IO_PENDING)
                return;
            // The bytes are in the driver already; a read that still waits is
            // cut short rather than left to block the user interface.
            if (::WaitForSingleObject(takeEvent_, 200) != WAIT_OBJECT_0)
                ::CancelIoEx(handle_, &ov);
            if (!::GetOverlappedResult(handle_, &ov, &n, TRUE) && n == 0)
                return;
        }
        received_.append(buffer, 0, n);
    }

    void StartWrite()
    {
        if (queued_.empty() || !IsOpen())
            return;
        sending_.swap(queued_);
        queued_.clear();
        writeOv_ = OVERLAPPED{};
        writeOv_.hEvent = writeEvent_;
        writing_ = true;
        if (::WriteFile(handle_, sending_.data(), static_cast<DWORD>(sending_.size()), nullptr, &writeOv_))
            QTimer::singleShot(0, &context_, [this] { WriteDone(); });
        else if (::GetLastError() != ERROR_IO_PENDING) {
            writing_ = false;
            sending_.clear();
            LoseLater(::GetLastError());
        }
    }

    void WriteDone()
    {
        if (!writing_)
            return;
        DWORD n = 0;
        if (!::GetOverlappedResult(handle_, &writeOv_, &n, FALSE)) {
            const DWORD e = ::GetLastError();
            if (e == ERROR_IO_INCOMPLETE)
                return;
            writing_ = false;
            sending_.clear();
            ::ResetEvent(writeEvent_);
            if (!(e == ERROR_OPERATION_ABORTED && purged_))
                Lose(e);
            purged_ = false;
            return;
        }
        writing_ = purged_ = false;
        sending_.clear();
        ::ResetEvent(writeEvent_);
        StartWrite();
    }

    void Lose(DWORD error)
    {
        if (OnLost)
            OnLost(Describe(error));
    }
    // A failure found inside a call is told from the event loop, as every event is.
    void LoseLater(DWORD error)
    {
        lostPending_ = true;
        QTimer::singleShot(0, &context_, [this, error, session = session_] {
            lostPending_ = false;
            if (session == session_)
                Lose(error);
        });
    }

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    DCB dcb_{};
    FlowControl flow_ = FlowControl::None;
    bool rts_ = true;
    HANDLE readEvent_, writeEvent_, takeEvent_;
    OVERLAPPED readOv_{}, writeOv_{};
    char byte_ = 0;
    bool reading_ = false, writing_ = false, purged_ = false, lostPending_ = false;
    unsigned session_ = 0;
    std::string received_;        // read from the driver, not yet taken
    std::string sending_, queued_;  // the write under way, and what follows it
    QObject context_;
    QWinEventNotifier readNote_, writeNote_;
};

}  // namespace

std::unique_ptr<SerialTransport> MakeSerialTransport() { return std::make_unique<Win32Transport>(); }

}  // namespace platform
