// The serial component's port on Qt Serial Port (Linux), and what Qt does not
// say through LineCalls (LineCalls_unix.h): the line as the driver took it, the
// modem lines, the kernel's line error counters.
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <QSerialPort>
#include <cerrno>
#include <utility>

#include "platform/serial/LineCalls_unix.h"
#include "platform/serial/System.h"
#include "platform/serial/SerialTransport.h"

namespace platform {
namespace {

// A write this short fits an empty driver queue whole.
constexpr int64_t kHandOverBytes = 256;

class SystemCalls : public LineCalls {
public:
    bool Attributes(int fd, termios* t) override { return ::tcgetattr(fd, t) == 0; }
    bool PseudoTerminal(int fd) override
    {
        struct stat st {};
        // Unix98 pseudo-terminal slaves have majors 136 to 143.
        return ::fstat(fd, &st) == 0 && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
    }
    bool ModemLines(int fd, int* lines) override { return ::ioctl(fd, TIOCMGET, lines) == 0; }
    bool Counters(int fd, LineCounters* c) override
    {
        serial_icounter_struct k{};
        if (::ioctl(fd, TIOCGICOUNT, &k) != 0)
            return false;
        *c = {k.frame, k.parity, k.overrun, k.buf_overrun, k.brk};
        return true;
    }
    int OutputQueued(int fd) override { return DriverOutputQueued(fd); }
};

int SpeedOf(speed_t s)
{
    switch (s) {
    case B300: return 300;
    case B600: return 600;
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    default: return 0;  // another speed: not told here
    }
}

class QtTransport : public SerialTransport {
public:
    explicit QtTransport(std::shared_ptr<LineCalls> calls) : calls_(std::move(calls))
    {
        port_.setReadBufferSize(kSerialReadBuffer);
        QObject::connect(&port_, &QSerialPort::readyRead, [this] {
            if (OnReadyRead)
                OnReadyRead();
        });
        QObject::connect(&port_, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError e) {
            if (e == QSerialPort::NoError || !port_.isOpen())
                return;
            if (e != QSerialPort::ResourceError && e != QSerialPort::ReadError && e != QSerialPort::WriteError)
                return;
            if (OnLost)
                OnLost(port_.errorString().toStdString());
        });
    }
    ~QtTransport() override { port_.close(); }

    int Open(const std::string& device, const LineSettings& line, bool dtr, bool rts) override
    {
        failure_.clear();
        device_ = device;
        port_.setPortName(QString::fromStdString(device));
        errno = 0;
        if (port_.open(QIODevice::ReadWrite)) {
            line_ = !calls_->PseudoTerminal(Fd());
            SetBaudRate(line.BaudRate);
            SetDataBits(line.DataBits);
            SetStopBits(line.Stop);
            SetParity(ParityOf(line));
            SetFlowControl(line.Flow);
            SetDTR(dtr);
            SetRTS(rts);
            if (failure_.empty())
                return 0;
            port_.close();
            return EIO;
        }
        const int sys = errno;
        int err = sys ? sys : EIO;
        switch (port_.error()) {
        case QSerialPort::DeviceNotFoundError: err = ENOENT; break;
        case QSerialPort::PermissionError: err = err == EBUSY ? EBUSY : EACCES; break;
        case QSerialPort::OpenError: err = EBUSY; break;
        case QSerialPort::ResourceError:
            err = EIO;
            failure_ = device + " does not answer (input/output error): the adapter hangs or its device was pulled "
                                "out; unplug the adapter and plug it back in, or switch the device off and on";
            break;
        default: break;
        }
        port_.clearError();
        return err;
    }
    void Close() override
    {
        port_.close();
        port_.clearError();
    }
    bool IsOpen() const override { return port_.isOpen(); }

    // Each setting is read back from the driver: one it did not take is told
    // (Failure), not left to garble the line. A pseudo-terminal carries no line
    // and keeps only what it can.
    void SetBaudRate(int baud) override
    {
        Check(port_.setBaudRate(baud), std::to_string(baud) + " baud", [baud](const termios& t) {
            const int got = SpeedOf(cfgetospeed(&t));
            return got == 0 || got == baud;
        });
    }
    void SetDataBits(int bits) override
    {
        Check(port_.setDataBits(static_cast<QSerialPort::DataBits>(bits)), std::to_string(bits) + " data bits",
              [bits](const termios& t) {
                  const tcflag_t size = bits == 5 ? CS5 : bits == 6 ? CS6 : bits == 7 ? CS7 : CS8;
                  return (t.c_cflag & CSIZE) == size;
              });
    }
    void SetStopBits(StopBits stop) override
    {
        Check(port_.setStopBits(stop == StopBits::Two            ? QSerialPort::TwoStop
                                : stop == StopBits::OnePointFive ? QSerialPort::OneAndHalfStop
                                                                 : QSerialPort::OneStop),
              stop == StopBits::Two ? "2 stop bits" : stop == StopBits::OnePointFive ? "1.5 stop bits" : "1 stop bit",
              [stop](const termios& t) { return ((t.c_cflag & CSTOPB) != 0) == (stop == StopBits::Two); });
    }
    void SetParity(Parity p) override
    {
        const char* words[] = {"no parity", "odd parity", "even parity", "mark parity", "space parity"};
        Check(port_.setParity(p == Parity::Odd     ? QSerialPort::OddParity
                              : p == Parity::Even  ? QSerialPort::EvenParity
                              : p == Parity::Mark  ? QSerialPort::MarkParity
                              : p == Parity::Space ? QSerialPort::SpaceParity
                                                   : QSerialPort::NoParity),
              words[static_cast<int>(p)], [p](const termios& t) {
                  if (p == Parity::None)
                      return (t.c_cflag & PARENB) == 0;
                  const bool odd = p == Parity::Odd || p == Parity::Mark;
                  const bool stick = p == Parity::Mark || p == Parity::Space;
                  return (t.c_cflag & PARENB) && ((t.c_cflag & PARODD) != 0) == odd &&
                         ((t.c_cflag & CMSPAR) != 0) == stick;
              });
    }
    void SetFlowControl(FlowControl flow) override
    {
        flow_ = flow;
        Check(port_.setFlowControl(flow == FlowControl::Hardware   ? QSerialPort::HardwareControl
                                   : flow == FlowControl::Software ? QSerialPort::SoftwareControl
                                                                   : QSerialPort::NoFlowControl),
              flow == FlowControl::Hardware   ? "flow control HARDWARE"
              : flow == FlowControl::Software ? "flow control XON/XOFF"
                                              : "flow control NONE",
              [flow](const termios& t) {
                  return ((t.c_cflag & CRTSCTS) != 0) == (flow == FlowControl::Hardware) &&
                         ((t.c_iflag & IXON) != 0) == (flow == FlowControl::Software);
              });
    }
    // A pseudo-terminal has no modem lines ("Inappropriate ioctl for device"): the
    // port works all the same, and the error Qt leaves set must not linger.
    void SetDTR(bool on) override
    {
        if (!port_.setDataTerminalReady(on))
            port_.clearError();
    }
    void SetRTS(bool on) override
    {
        if (DrivesRts(flow_) && !port_.setRequestToSend(on))
            port_.clearError();
    }
    // What setting the line up left in the counters is not the line's.
    void Settle() override
    {
        port_.clearError();
        counted_ = calls_->Counters(Fd(), &base_);
        seen_ = {};
    }

    int64_t BytesAvailable() const override { return port_.bytesAvailable(); }
    int64_t Read(char* data, int64_t max) override { return port_.read(data, max); }
    bool TakeMore() override
    {
        if (port_.waitForReadyRead(0))
            return true;
        if (port_.isOpen() && port_.error() == QSerialPort::TimeoutError)
            port_.clearError();  // nothing more had come: no fault
        return false;
    }
    // On an idle line a short write is handed to the driver now, not when the
    // event loop next runs: a reply must not wait on what the handler that wrote
    // it does next (a set written out to the disk after the last poll's reply).
    // Behind other bytes it waits its turn: a full queue is never forced.
    void Write(const char* data, int64_t size) override
    {
        const bool idle = !OutputPending();
        port_.write(data, size);
        if (idle && size <= kHandOverBytes)
            port_.flush();
    }
    bool OutputPending() override
    {
        return port_.isOpen() && (port_.bytesToWrite() > 0 || calls_->OutputQueued(Fd()) > 0);
    }
    bool LineHolds() override
    {
        int lines = 0;
        return port_.isOpen() && flow_ == FlowControl::Hardware && calls_->ModemLines(Fd(), &lines) &&
               !(lines & TIOCM_CTS);
    }
    // Qt reports no framing or parity error: the kernel counts them where the
    // driver keeps counters (a pseudo-terminal keeps none).
    LineErrors LineErrorsSeen() override
    {
        LineCounters now;
        if (!port_.isOpen() || !counted_ || !calls_->Counters(Fd(), &now))
            return seen_;
        seen_ = {now.Frame - base_.Frame, now.Parity - base_.Parity,
                 now.Overrun - base_.Overrun + now.BufferOverrun - base_.BufferOverrun, now.Break - base_.Break};
        return seen_;
    }
    std::string TakeFailure() override { return std::exchange(failure_, {}); }
    void Clear(bool input, bool output) override
    {
        QSerialPort::Directions dirs;
        if (input)
            dirs |= QSerialPort::Input;
        if (output)
            dirs |= QSerialPort::Output;
        port_.clear(dirs);
    }

private:
    int Fd() const { return static_cast<int>(port_.handle()); }

    template <typename Took>
    void Check(bool set, const std::string& what, Took took)
    {
        if (!port_.isOpen() || !failure_.empty())
            return;
        termios t{};
        std::string why;
        if (!set)
            why = port_.errorString().toStdString();
        else if (line_ && calls_->Attributes(Fd(), &t) && !took(t))
            why = "the driver kept its own";
        port_.clearError();
        if (!why.empty())
            failure_ = device_ + " refused the setting " + what + " (" + why + "): choose one the adapter supports";
    }

    std::shared_ptr<LineCalls> calls_;
    QSerialPort port_;
    std::string device_, failure_;
    bool line_ = false, counted_ = false;
    LineCounters base_;
    LineErrors seen_;
    FlowControl flow_ = FlowControl::None;  // as a new QSerialPort has it
};

}  // namespace

std::shared_ptr<LineCalls> SystemLineCalls() { return std::make_shared<SystemCalls>(); }

std::unique_ptr<SerialTransport> MakeQtTransport(std::shared_ptr<LineCalls> calls)
{
    return std::make_unique<QtTransport>(std::move(calls));
}

std::unique_ptr<SerialTransport> MakeSerialTransport() { return MakeQtTransport(SystemLineCalls()); }

}  // namespace platform
