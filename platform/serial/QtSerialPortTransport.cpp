// The serial component's port on Qt Serial Port (Linux), and what Qt does not
// say through LineCalls (LineCalls_unix.h): the line as the driver took it, the
// modem lines, the kernel's line error counters.
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <QSerialPort>
#include <QThread>
#include <cerrno>
#include <utility>

#include "platform/serial/LineCalls_unix.h"
#include "platform/serial/System.h"
#include "platform/serial/SerialTransport.h"
#include "platform/serial/SlowOpen.h"

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

// A port and the line set on it. Made, opened and set on the open's own thread
// (a hung driver may block in open or in the first calls on the port), then used
// on the window's thread.
struct Port {
    std::shared_ptr<LineCalls> calls;
    std::string device;
    QSerialPort serial;
    bool line = false;  // a real line, not a pseudo-terminal
    FlowControl flow = FlowControl::None;  // as a new QSerialPort has it
    std::string failure;

    int Fd() const { return static_cast<int>(serial.handle()); }

    // 0, or the errno value of the failure.
    int Open(const LineSettings& l, bool dtr, bool rts)
    {
        serial.setReadBufferSize(kSerialReadBuffer);
        serial.setPortName(QString::fromStdString(device));
        errno = 0;
        if (serial.open(QIODevice::ReadWrite)) {
            line = !calls->PseudoTerminal(Fd());
            SetBaudRate(l.BaudRate);
            SetDataBits(l.DataBits);
            SetStopBits(l.Stop);
            SetParity(ParityOf(l));
            SetFlowControl(l.Flow);
            SetDTR(dtr);
            SetRTS(rts);
            if (failure.empty())
                return 0;
            serial.close();
            return EIO;
        }
        const int sys = errno;
        int err = sys ? sys : EIO;
        switch (serial.error()) {
        case QSerialPort::DeviceNotFoundError: err = ENOENT; break;
        case QSerialPort::PermissionError: err = err == EBUSY ? EBUSY : EACCES; break;
        case QSerialPort::OpenError: err = EBUSY; break;
        case QSerialPort::ResourceError:
            err = EIO;
            failure = device + " does not answer (input/output error): the adapter hangs or its device was pulled "
                               "out; unplug the adapter and plug it back in, or switch the device off and on";
            break;
        default: break;
        }
        serial.clearError();
        return err;
    }

    // Each setting is read back from the driver: one it did not take is told
    // (failure), not left to garble the line. A pseudo-terminal carries no line
    // and keeps only what it can.
    void SetBaudRate(int baud)
    {
        Check(serial.setBaudRate(baud), std::to_string(baud) + " baud", [baud](const termios& t) {
            const int got = SpeedOf(cfgetospeed(&t));
            return got == 0 || got == baud;
        });
    }
    void SetDataBits(int bits)
    {
        Check(serial.setDataBits(static_cast<QSerialPort::DataBits>(bits)), std::to_string(bits) + " data bits",
              [bits](const termios& t) {
                  const tcflag_t size = bits == 5 ? CS5 : bits == 6 ? CS6 : bits == 7 ? CS7 : CS8;
                  return (t.c_cflag & CSIZE) == size;
              });
    }
    void SetStopBits(StopBits stop)
    {
        Check(serial.setStopBits(stop == StopBits::Two            ? QSerialPort::TwoStop
                                 : stop == StopBits::OnePointFive ? QSerialPort::OneAndHalfStop
                                                                  : QSerialPort::OneStop),
              stop == StopBits::Two ? "2 stop bits" : stop == StopBits::OnePointFive ? "1.5 stop bits" : "1 stop bit",
              [stop](const termios& t) { return ((t.c_cflag & CSTOPB) != 0) == (stop == StopBits::Two); });
    }
    void SetParity(Parity p)
    {
        const char* words[] = {"no parity", "odd parity", "even parity", "mark parity", "space parity"};
        Check(serial.setParity(p == Parity::Odd     ? QSerialPort::OddParity
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
    void SetFlowControl(FlowControl f)
    {
        flow = f;
        Check(serial.setFlowControl(f == FlowControl::Hardware   ? QSerialPort::HardwareControl
                                    : f == FlowControl::Software ? QSerialPort::SoftwareControl
                                                                 : QSerialPort::NoFlowControl),
              f == FlowControl::Hardware   ? "flow control HARDWARE"
              : f == FlowControl::Software ? "flow control XON/XOFF"
                                           : "flow control NONE",
              [f](const termios& t) {
                  return ((t.c_cflag & CRTSCTS) != 0) == (f == FlowControl::Hardware) &&
                         ((t.c_iflag & IXON) != 0) == (f == FlowControl::Software);
              });
    }
    // A pseudo-terminal has no modem lines ("Inappropriate ioctl for device"): the
    // port works all the same, and the error Qt leaves set must not linger.
    void SetDTR(bool on)
    {
        if (!serial.setDataTerminalReady(on))
            serial.clearError();
    }
    void SetRTS(bool on)
    {
        if (DrivesRts(flow) && !serial.setRequestToSend(on))
            serial.clearError();
    }

    template <typename Took>
    void Check(bool set, const std::string& what, Took took)
    {
        if (!serial.isOpen() || !failure.empty())
            return;
        termios t{};
        std::string why;
        if (!set)
            why = serial.errorString().toStdString();
        else if (line && calls->Attributes(Fd(), &t) && !took(t))
            why = "the driver kept its own";
        serial.clearError();
        if (!why.empty())
            failure = device + " refused the setting " + what + " (" + why + "): choose one the adapter supports";
    }
};

class QtTransport : public SerialTransport {
public:
    explicit QtTransport(std::shared_ptr<LineCalls> calls) : calls_(std::move(calls)) {}
    ~QtTransport() override { Close(); }

    int Open(const std::string& device, const LineSettings& line, bool dtr, bool rts) override
    {
        if (opening_.Waiting()) {  // from a timer inside the wait
            failure_ = StillOpeningWords(device);
            return EALREADY;
        }
        failure_.clear();
        port_.reset();
        // Shared with the open's thread, which may outlive this call.
        struct Opening {
            std::unique_ptr<Port> port;
            int err = 0;
        };
        auto o = std::make_shared<Opening>();
        QThread* here = QThread::currentThread();
        const OpenEnd end = opening_.Run(
            [o, calls = calls_, device, line, dtr, rts] {
                o->port = std::make_unique<Port>();
                o->port->calls = calls, o->port->device = device;
                o->err = o->port->Open(line, dtr, rts);
            },
            [o, here] { o->port->serial.moveToThread(here); }, [o] { o->port.reset(); }, SlowPortWords(device),
            OnWaiting);
        if (end != OpenEnd::Done) {
            failure_ = end == OpenEnd::Cut ? CutOpenWords(device) : NoAnswerWords(device);
            return end == OpenEnd::Cut ? ECANCELED : ETIMEDOUT;
        }
        std::unique_ptr<Port> opened = std::move(o->port);
        if (o->err) {
            failure_ = opened->failure;
            return o->err;
        }
        port_ = std::move(opened);
        QObject::connect(&port_->serial, &QSerialPort::readyRead, [this] {
            if (OnReadyRead)
                OnReadyRead();
        });
        QObject::connect(&port_->serial, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError e) {
            if (e == QSerialPort::NoError || !IsOpen())
                return;
            if (e != QSerialPort::ResourceError && e != QSerialPort::ReadError && e != QSerialPort::WriteError)
                return;
            if (OnLost)
                OnLost({});  // the error of whichever call noticed says nothing of the line
        });
        return 0;
    }
    void Close() override
    {
        if (opening_.Waiting())
            opening_.Cut();
        // Kept until the next open: a loss is told from inside the port's own signal.
        if (port_) {
            port_->serial.close();
            port_->serial.clearError();
        }
    }
    bool IsOpen() const override { return port_ && port_->serial.isOpen(); }

    void SetBaudRate(int baud) override { Set([&] { port_->SetBaudRate(baud); }); }
    void SetDataBits(int bits) override { Set([&] { port_->SetDataBits(bits); }); }
    void SetStopBits(StopBits stop) override { Set([&] { port_->SetStopBits(stop); }); }
    void SetParity(Parity p) override { Set([&] { port_->SetParity(p); }); }
    void SetFlowControl(FlowControl flow) override { Set([&] { port_->SetFlowControl(flow); }); }
    void SetDTR(bool on) override { Set([&] { port_->SetDTR(on); }); }
    void SetRTS(bool on) override { Set([&] { port_->SetRTS(on); }); }
    // What setting the line up left in the counters is not the line's.
    void Settle() override
    {
        if (!IsOpen())
            return;
        Clear(true, false);  // bytes from before the line was set are no reply to us
        port_->serial.clearError();
        counted_ = calls_->Counters(port_->Fd(), &base_);
        seen_ = {};
    }

    int64_t BytesAvailable() const override { return IsOpen() ? port_->serial.bytesAvailable() : 0; }
    int64_t Read(char* data, int64_t max) override { return IsOpen() ? port_->serial.read(data, max) : 0; }
    bool TakeMore() override
    {
        if (!IsOpen())
            return false;
        if (port_->serial.waitForReadyRead(0))
            return true;
        if (IsOpen() && port_->serial.error() == QSerialPort::TimeoutError)
            port_->serial.clearError();  // nothing more had come: no fault
        return false;
    }
    // On an idle line a short write is handed to the driver now, not when the
    // event loop next runs: a reply must not wait on what the handler that wrote
    // it does next (a set written out to the disk after the last poll's reply).
    // Behind other bytes it waits its turn: a full queue is never forced.
    void Write(const char* data, int64_t size) override
    {
        if (!IsOpen())
            return;
        const bool idle = !OutputPending();
        port_->serial.write(data, size);
        if (idle && size <= kHandOverBytes)
            port_->serial.flush();
    }
    bool OutputPending() override
    {
        return IsOpen() && (port_->serial.bytesToWrite() > 0 || calls_->OutputQueued(port_->Fd()) > 0);
    }
    bool LineHolds() override
    {
        int lines = 0;
        return IsOpen() && port_->flow == FlowControl::Hardware && calls_->ModemLines(port_->Fd(), &lines) &&
               !(lines & TIOCM_CTS);
    }
    // Qt reports no framing or parity error: the kernel counts them where the
    // driver keeps counters (a pseudo-terminal keeps none).
    LineErrors LineErrorsSeen() override
    {
        LineCounters now;
        if (!IsOpen() || !counted_ || !calls_->Counters(port_->Fd(), &now))
            return seen_;
        seen_ = {now.Frame - base_.Frame, now.Parity - base_.Parity,
                 now.Overrun - base_.Overrun + now.BufferOverrun - base_.BufferOverrun, now.Break - base_.Break};
        return seen_;
    }
    std::string TakeFailure() override
    {
        if (port_ && !port_->failure.empty())
            return std::exchange(port_->failure, {});
        return std::exchange(failure_, {});
    }
    void Clear(bool input, bool output) override
    {
        if (!IsOpen())
            return;
        QSerialPort::Directions dirs;
        if (input)
            dirs |= QSerialPort::Input;
        if (output)
            dirs |= QSerialPort::Output;
        port_->serial.clear(dirs);
    }

private:
    template <typename Setting>
    void Set(Setting set)
    {
        if (IsOpen())
            set();
    }

    std::shared_ptr<LineCalls> calls_;
    std::unique_ptr<Port> port_;  // while open
    SlowOpen opening_;
    std::string failure_;  // why the last open failed
    bool counted_ = false;
    LineCounters base_;
    LineErrors seen_;
};

}  // namespace

std::shared_ptr<LineCalls> SystemLineCalls() { return std::make_shared<SystemCalls>(); }

std::unique_ptr<SerialTransport> MakeQtTransport(std::shared_ptr<LineCalls> calls)
{
    return std::make_unique<QtTransport>(std::move(calls));
}

std::unique_ptr<SerialTransport> MakeSerialTransport() { return MakeQtTransport(SystemLineCalls()); }

}  // namespace platform
