// The serial component's port on the Win32 communications API, reached only
// through CommCalls (CommCalls_win.h).
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
//
// Every request has its own event, kept with it until the driver gives it back:
// a late completion of a request given up on wakes nothing that waits for
// another. Every ClearCommError also reports the line errors since the last one;
// they are counted here, never dropped. The user interface never waits on the
// driver without a bound: a request the driver does not give back after a cancel
// is left to it, with its buffer and event, rather than freeing what it may
// still write into. A cancelled read keeps the bytes the driver says it copied.
#include <windows.h>

#include <QObject>
#include <QTimer>
#include <QWinEventNotifier>
#include <algorithm>
#include <cerrno>
#include <utility>

#include "platform/serial/CommCalls_win.h"
#include "platform/serial/System.h"
#include "platform/serial/PortNames.h"
#include "platform/serial/SerialTransport.h"
#include "platform/serial/Win32Requests.h"

namespace platform {
namespace {

// A cancelled request the driver has not given back in this time is left to it.
constexpr DWORD kCancelBoundMs = 500;

class Win32Transport : public SerialTransport {
public:
    explicit Win32Transport(std::shared_ptr<CommCalls> calls) : calls_(std::move(calls))
    {
        QObject::connect(&readNote_, &QWinEventNotifier::activated, &context_, [this] { ReadDone(); });
        QObject::connect(&writeNote_, &QWinEventNotifier::activated, &context_, [this] { WriteDone(); });
    }
    ~Win32Transport() override { Close(); }

    int Open(const std::string& device, const LineSettings& line, bool dtr, bool rts) override
    {
        if (opening_.Waiting()) {  // from a timer inside the wait
            failure_ = StillOpeningWords(device);
            return EALREADY;
        }
        failure_.clear();
        errors_ = {};
        device_ = device;
        DWORD e = 0;
        const HANDLE h = OpenBounded(opening_, calls_, device, &e, OnWaiting);
        if (h == INVALID_HANDLE_VALUE) {
            // A device still open for a request of ours the driver kept is not
            // another program's.
            failure_ = e == ERROR_ACCESS_DENIED && device == keptOn_
                           ? device + " is still held by its driver, which never gave back a request of the last "
                                      "use: unplug the adapter and plug it back in"
                       : e == ERROR_CANCELLED ? CutOpenWords(device)
                                                      : OpenFailureWords(device, e);
            return ErrnoOfOpenError(e);
        }
        handle_ = h;
        keptOn_.clear();
        dcb_ = DCB{};
        dcb_.DCBlength = sizeof dcb_;
        if (!calls_->GetCommState(handle_, &dcb_))
            return Abandon(device + " is not a serial port (" + Describe(::GetLastError()) + ")", ENOTTY);
        // Buffer sizes are a recommendation the driver may decline and still carry
        // every byte: a refusal here must not turn a working adapter away.
        calls_->SetupComm(handle_, static_cast<DWORD>(kSerialReadBuffer), 2048);
        dcb_.fBinary = TRUE;
        dcb_.fAbortOnError = FALSE;  // an error must not stop every later read and write
        dcb_.fNull = FALSE;
        dcb_.fErrorChar = FALSE;
        dcb_.fDsrSensitivity = FALSE;
        dcb_.fOutxDsrFlow = FALSE;
        // The whole line in one state, applied once: each call would leave the
        // line in a state of its own on the way.
        setting_ = true;
        SetBaudRate(line.BaudRate);
        SetDataBits(line.DataBits);
        SetStopBits(line.Stop);
        SetParity(ParityOf(line));
        SetFlowControl(line.Flow);
        setting_ = false;
        dcb_.fDtrControl = dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        rts_ = rts;
        if (DrivesRts(flow_))
            dcb_.fRtsControl = rts ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        if (!calls_->SetCommState(handle_, &dcb_))
            return Abandon(Refusal(::GetLastError()), EIO);
        applied_ = dcb_;
        COMMTIMEOUTS none{};
        if (!calls_->SetCommTimeouts(handle_, &none))
            return Abandon(device + ": the driver refused the read and write time-outs (" +
                               Describe(::GetLastError()) + ")",
                           EIO);
        ++session_;
        lostPending_ = false;
        StartRead();
        return 0;
    }

    void Close() override
    {
        if (opening_.Waiting())
            opening_.Cut();
        if (handle_ == INVALID_HANDLE_VALUE)
            return;
        ++session_;  // a loss told later is of this session, not of the next
        calls_->CancelIoEx(handle_, nullptr);
        Finish(read_, readNote_);
        Finish(write_, writeNote_);
        calls_->Close(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        received_.clear();
        queued_.clear();
        purged_ = false;
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
    // XonLim and XoffLim stay as the driver has them: fixed ones are refused by a
    // driver whose buffer is smaller.
    void SetFlowControl(FlowControl flow) override
    {
        flow_ = flow;
        dcb_.fOutxCtsFlow = flow == FlowControl::Hardware;
        dcb_.fRtsControl = !DrivesRts(flow) ? RTS_CONTROL_HANDSHAKE : rts_ ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        const bool software = flow == FlowControl::Software;
        dcb_.fOutX = dcb_.fInX = software;
        dcb_.XonChar = 0x11;
        dcb_.XoffChar = 0x13;
        Apply();
    }
    // The DCB keeps the line as set, so that a later change of the line settings
    // does not put it back. A line the port cannot set (a pseudo-terminal under
    // Wine has none) is left as it is.
    void SetDTR(bool on) override
    {
        dcb_.fDtrControl = applied_.fDtrControl = on ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
        calls_->EscapeCommFunction(handle_, on ? SETDTR : CLRDTR);
    }
    void SetRTS(bool on) override
    {
        rts_ = on;
        if (!DrivesRts(flow_))
            return;
        dcb_.fRtsControl = applied_.fRtsControl = on ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        calls_->EscapeCommFunction(handle_, on ? SETRTS : CLRRTS);
    }
    void Settle() override
    {
        Clear(true, false);  // bytes from before the line was set are no reply to us
        Poll();
        errors_ = {};  // what setting the line left is no line error
    }

    int64_t BytesAvailable() const override { return static_cast<int64_t>(received_.size()); }
    int64_t Read(char* data, int64_t max) override
    {
        const size_t n = std::min(received_.size(), static_cast<size_t>(std::max<int64_t>(max, 0)));
        std::copy_n(received_.data(), n, data);
        received_.erase(0, n);
        if (IsOpen() && !read_)
            StartRead();  // the buffer had been full
        return static_cast<int64_t>(n);
    }
    bool TakeMore() override { return Collect(); }
    void Write(const char* data, int64_t size) override
    {
        queued_.append(data, static_cast<size_t>(size));
        if (!write_)
            StartWrite();
    }
    bool OutputPending() override { return IsOpen() && (write_ || !queued_.empty() || (Poll() && stat_.cbOutQue > 0)); }
    bool LineHolds() override
    {
        if (!IsOpen() || flow_ != FlowControl::Hardware)
            return false;
        if (Poll() && stat_.fCtsHold)
            return true;
        DWORD lines = 0;
        return calls_->GetCommModemStatus(handle_, &lines) && !(lines & MS_CTS_ON);
    }
    LineErrors LineErrorsSeen() override
    {
        if (IsOpen())
            Poll();
        return errors_;
    }
    std::string TakeFailure() override { return std::exchange(failure_, {}); }
    void Clear(bool input, bool output) override
    {
        if (!IsOpen())
            return;
        if (input) {
            Collect(false);  // a byte the one-byte read took goes too
            received_.clear();
            calls_->PurgeComm(handle_, PURGE_RXCLEAR);
            if (!read_)
                StartRead();
        }
        if (output) {
            queued_.clear();
            purged_ = write_ != nullptr;
            calls_->PurgeComm(handle_, PURGE_TXCLEAR | (write_ ? PURGE_TXABORT : 0));
        }
    }

private:
    int64_t Room() const { return kSerialReadBuffer - static_cast<int64_t>(received_.size()); }

    int Abandon(const std::string& why, int err)
    {
        failure_ = why;
        calls_->Close(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return err;
    }
    std::string Refusal(DWORD error) const
    {
        return device_ + " refused the setting " + LineWords(dcb_) + " (" + Describe(error) +
               "): choose one the adapter supports";
    }

    // A refused setting is kept for the caller to tell; the driver keeps its own,
    // and so does the next setting, which must not carry the refused one along.
    void Apply()
    {
        if (setting_ || !IsOpen())
            return;
        if (calls_->SetCommState(handle_, &dcb_)) {
            applied_ = dcb_;
            return;
        }
        if (failure_.empty())
            failure_ = Refusal(::GetLastError());
        dcb_ = applied_;
    }

    // The driver's status, and the line errors it had flagged, counted.
    bool Poll()
    {
        DWORD e = 0;
        if (!calls_->ClearCommError(handle_, &e, &stat_)) {
            stat_ = COMSTAT{};
            return false;
        }
        errors_.Framing += (e & CE_FRAME) != 0;
        errors_.Parity += (e & CE_RXPARITY) != 0;
        errors_.Overrun += (e & (CE_OVERRUN | CE_RXOVER)) != 0;
        errors_.Break += (e & CE_BREAK) != 0;
        return true;
    }

    // After a cancel: the request back from the driver within the bound, or left to it.
    void Finish(std::unique_ptr<Io>& io, QWinEventNotifier& note)
    {
        if (!io)
            return;
        DWORD n = 0;
        const bool kept = ::WaitForSingleObject(io->ov.hEvent, kCancelBoundMs) != WAIT_OBJECT_0 ||
                          (!calls_->GetOverlappedResult(handle_, &io->ov, &n, FALSE) &&
                           ::GetLastError() == ERROR_IO_INCOMPLETE);
        if (kept)
            keptOn_ = device_;
        Drop(note, io, kept);
    }

    void StartRead()
    {
        if (Room() <= 0 || lostPending_)
            return;
        read_ = std::make_unique<Io>();
        read_->data.resize(1);
        Watch(readNote_, *read_);
        if (calls_->ReadFile(handle_, read_->data.data(), 1, nullptr, &read_->ov))
            QTimer::singleShot(0, &context_, [this] { ReadDone(); });  // done at once: the event may not say so
        else if (const DWORD e = ::GetLastError(); e != ERROR_IO_PENDING) {
            Drop(readNote_, read_);
            LoseLater(e);
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
        if (!read_)
            return false;
        DWORD n = 0;
        if (!calls_->GetOverlappedResult(handle_, &read_->ov, &n, FALSE)) {
            const DWORD e = ::GetLastError();
            if (e == ERROR_IO_INCOMPLETE)
                return false;
            Drop(readNote_, read_);
            tellNow ? Lose(e) : LoseLater(e);
            return false;
        }
        const char byte = read_->data[0];
        Drop(readNote_, read_);
        if (n == 0) {  // the device closed its end
            tellNow ? Lose(ERROR_HANDLE_EOF) : LoseLater(ERROR_HANDLE_EOF);
            return false;
        }
        received_ += byte;
        TakeWaiting();
        StartRead();
        return true;
    }

    void TakeWaiting()
    {
        if (!Poll())
            return;
        const DWORD want = static_cast<DWORD>(std::min<int64_t>(stat_.cbInQue, Room()));
        if (want == 0)
            return;
        auto io = std::make_unique<Io>();
        io->data.resize(want);
        DWORD n = 0;
        if (!calls_->ReadFile(handle_, io->data.data(), want, &n, &io->ov)) {
            if (::GetLastError() != ERROR_IO_PENDING)
                return;
            // The bytes are in the driver already; a read that still waits is
            // cut short rather than left to block the user interface. A read
            // cut short still brings what the driver had copied into it.
            if (::WaitForSingleObject(io->ov.hEvent, 200) != WAIT_OBJECT_0) {
                calls_->CancelIoEx(handle_, &io->ov);
                if (::WaitForSingleObject(io->ov.hEvent, kCancelBoundMs) != WAIT_OBJECT_0) {
                    (void)io.release();  // the driver still owns it
                    keptOn_ = device_;
                    LoseLater(ERROR_GEN_FAILURE);
                    return;
                }
            }
            n = 0;
            if (!calls_->GetOverlappedResult(handle_, &io->ov, &n, FALSE) &&
                ::GetLastError() != ERROR_OPERATION_ABORTED)
                return;
        }
        received_.append(io->data, 0, std::min<size_t>(n, io->data.size()));
    }

    void StartWrite()
    {
        if (queued_.empty() || !IsOpen())
            return;
        write_ = std::make_unique<Io>();
        write_->data.swap(queued_);
        Watch(writeNote_, *write_);
        if (calls_->WriteFile(handle_, write_->data.data(), static_cast<DWORD>(write_->data.size()), nullptr,
                              &write_->ov))
            QTimer::singleShot(0, &context_, [this] { WriteDone(); });
        else if (const DWORD e = ::GetLastError(); e != ERROR_IO_PENDING) {
            Drop(writeNote_, write_);
            LoseLater(e);
        }
    }

    void WriteDone()
    {
        if (!write_)
            return;
        DWORD n = 0;
        if (!calls_->GetOverlappedResult(handle_, &write_->ov, &n, FALSE)) {
            const DWORD e = ::GetLastError();
            if (e == ERROR_IO_INCOMPLETE)
                return;
            Drop(writeNote_, write_);
            const bool purged = e == ERROR_OPERATION_ABORTED && purged_;
            purged_ = false;
            if (!purged)
                return Lose(e);
            // What was written after the purge goes now, not with the next write.
            return StartWrite();
        }
        purged_ = false;
        Drop(writeNote_, write_);
        StartWrite();
    }

    void Lose(DWORD /*noticed by*/)
    {
        if (OnLost)
            OnLost({});  // the error of whichever call noticed says nothing of the line
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

    std::shared_ptr<CommCalls> calls_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::string device_, failure_;
    std::string keptOn_;  // the device whose driver kept a request of ours
    DCB dcb_{}, applied_{};  // the line as set, and as the driver last took it
    COMSTAT stat_{};
    LineErrors errors_;
    FlowControl flow_ = FlowControl::None;
    bool rts_ = true;
    std::unique_ptr<Io> read_, write_;  // the requests under way
    bool purged_ = false, lostPending_ = false, setting_ = false;
    SlowOpen opening_;
    unsigned session_ = 0;
    std::string received_;  // read from the driver, not yet taken
    std::string queued_;    // written, to follow the write under way
    QObject context_;
    QWinEventNotifier readNote_, writeNote_;
};

}  // namespace

std::unique_ptr<SerialTransport> MakeWin32Transport(std::shared_ptr<CommCalls> calls)
{
    return std::make_unique<Win32Transport>(std::move(calls));
}

std::unique_ptr<SerialTransport> MakeSerialTransport() { return MakeWin32Transport(SystemCommCalls()); }

}  // namespace platform
