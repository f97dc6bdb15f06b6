// The serial component on Qt Serial Port.
//
// Output-empty emulation. Qt has no output-buffer-empty signal, and bytesWritten
// only says that the kernel took the bytes. Every write therefore extends a
// deadline: the moment the bytes written so far would have left the line at the
// port's baud rate (10 bits a byte at 8N1), counted from the later of now and the
// previous deadline. A single-shot timer wakes at the deadline and then checks
// that Qt's own buffer is empty and that the driver's output queue is empty
// (DriverQueue.h: TIOCOUTQ on Linux, ClearCommError on Windows; a pseudo-terminal
// reports 0 at once, which is why the line time is the lower bound). Only then is
// OnTxEmpty raised, from the event loop, so always after the handler that wrote
// has returned. A write while a wait is under way just moves the deadline: one
// event follows everything written.

#include "platform/QtSerialPort.h"

#include <QSerialPort>
#include <QSerialPortInfo>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>
#include <set>
#include <type_traits>

#include "platform/DriverQueue.h"
#include "platform/PortNames.h"
#include "platform/PortSetupDialog.h"

namespace platform {

struct QtSerialPort::Impl {
    QSerialPort port;
    QTimer drain;
    std::string name = "COM";
    std::map<std::string, std::string> bindings;
    std::set<std::string> byHand;  // names the user bound to a device of his choice
    std::map<std::string, std::string> known;  // how each name's device is recognised
    LineSettings line;
    bool dtr = true, rts = true;
    Clock clock = [] { return std::chrono::steady_clock::now(); };
    std::chrono::steady_clock::time_point deadline{};
    bool waiting = false;
    std::string lastFailure;
    QWidget* dialogParent = nullptr;
    // What the last read took from Qt, handed out from here: the dispatcher reads
    // a byte at a time, and a Qt read costs as much for one byte as for all.
    std::string staged;
    size_t stagedAt = 0;
    bool gathering = false;                // more bytes are being read for one event
    std::optional<std::string> lostWhy;   // the device went while they were

    size_t Staged() const { return staged.size() - stagedAt; }
    void DropStaged()
    {
        staged.clear();
        stagedAt = 0;
    }
};

namespace {

constexpr qint64 kReadBuffer = 16384;  // a flood from the line must not grow memory
constexpr qint64 kGather = kReadBuffer - 4096;
constexpr qint64 kFlood = 1024;

std::vector<DetectedPort> Detect()
{
    std::vector<DetectedPort> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.push_back({info.systemLocation().toStdString(), info.description().toStdString(),
                         info.manufacturer().toStdString(), info.serialNumber().toStdString()});
    return ports;
}

// A descriptor on Unix, a HANDLE on Windows.
template <typename Handle>
intptr_t Native(Handle h)
{
    if constexpr (std::is_pointer_v<Handle>)
        return reinterpret_cast<intptr_t>(h);
    else
        return static_cast<intptr_t>(h);
}

int OutputQueued(QSerialPort& port)
{
    return port.isOpen() ? DriverOutputQueued(Native(port.handle())) : 0;
}

}  // namespace

QtSerialPort::QtSerialPort(QWidget* dialogParent) : d_(new Impl)
{
    d_->dialogParent = dialogParent;
    d_->bindings = RefreshBindings({}, {}, Detect(), d_->known);
    d_->drain.setSingleShot(true);
    d_->port.setReadBufferSize(kReadBuffer);
    // A vanished device makes Qt repeat its error endlessly: close at the first
    // one and tell once.
    auto lose = [this](const std::string& why) {
        if (!d_->port.isOpen())
            return;
        d_->port.close();
        d_->port.clearError();
        d_->DropStaged();
        d_->waiting = false;
        d_->lastFailure = d_->name + ": device lost (" + why + ")";
        if (OnError)
            QTimer::singleShot(0, this, [this, msg = d_->lastFailure] {
                if (OnError)
                    OnError(msg);
            });
    };
    connect(&d_->port, &QSerialPort::readyRead, this, [this, lose] {
        if (d_->gathering)
            return;
        // A flood arrives a few kilobytes to a read: what has come in meanwhile
        // goes with the same event, up to the read buffer. A short read (a poll,
        // a line at 4800 baud) is handed over at once.
        d_->gathering = true;
        while (d_->port.isOpen() && d_->port.bytesAvailable() >= kFlood && d_->port.bytesAvailable() < kGather &&
               d_->port.waitForReadyRead(0)) {
        }
        d_->gathering = false;
        if (!d_->lostWhy && d_->port.isOpen() && d_->port.error() == QSerialPort::TimeoutError)
            d_->port.clearError();  // nothing more had come: no fault
        if (OnRxChar && d_->port.isOpen() && d_->port.bytesAvailable() + static_cast<qint64>(d_->Staged()) > 0)
            OnRxChar(static_cast<int>(d_->port.bytesAvailable() + static_cast<qint64>(d_->Staged())));
        if (d_->lostWhy) {
            // The bytes that came before the loss have been handed over first.
            const std::string why = *d_->lostWhy;
            d_->lostWhy.reset();
            lose(why);
        }
    });
    connect(&d_->drain, &QTimer::timeout, this, [this] {
        if (!d_->waiting)
            return;
        const auto now = d_->clock();
        if (now < d_->deadline) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(d_->deadline - now);
            d_->drain.start(static_cast<int>(std::max<long long>(1, left.count())));
            return;
        }
        if (d_->port.isOpen() && (d_->port.bytesToWrite() > 0 || OutputQueued(d_->port) > 0)) {
            d_->drain.start(2);
            return;
        }
        d_->waiting = false;
        if (OnTxEmpty)
            OnTxEmpty();
    });
    connect(&d_->port, &QSerialPort::errorOccurred, this, [this, lose](QSerialPort::SerialPortError e) {
        if (e == QSerialPort::NoError || !d_->port.isOpen())
            return;
        if (e != QSerialPort::ResourceError && e != QSerialPort::ReadError && e != QSerialPort::WriteError)
            return;
        if (d_->gathering) {
            if (!d_->lostWhy)
                d_->lostWhy = d_->port.errorString().toStdString();
            return;
        }
        lose(d_->port.errorString().toStdString());
    });
}

QtSerialPort::~QtSerialPort()
{
    d_->port.close();
    delete d_;
}

// Each port choice looks at the devices present now: an adapter plugged in after
// start takes a free name, one plugged back gets its own.
void QtSerialPort::SetPort(const std::string& name)
{
    d_->name = name;
    d_->bindings = RefreshBindings(d_->bindings, d_->byHand, Detect(), d_->known);
}
std::string QtSerialPort::Port() const { return d_->name; }

void QtSerialPort::Bind(const std::string& name, const std::string& device)
{
    d_->bindings[name] = device;
    d_->byHand.insert(name);
}

std::string QtSerialPort::DeviceFor(const std::string& name) const
{
    auto it = d_->bindings.find(name);
    return it == d_->bindings.end() ? name : it->second;
}

std::string QtSerialPort::LastFailure() const { return d_->lastFailure; }

void QtSerialPort::Open()
{
    if (d_->port.isOpen())
        return;
    const std::string device = DeviceFor(d_->name);
    if (StandsForNoDevice(device)) {
        d_->lastFailure = d_->name + " stands for no serial device of this machine";
        throw EComPort(d_->lastFailure);
    }
    d_->DropStaged();
    d_->port.setPortName(QString::fromStdString(device));
    if (!d_->port.open(QIODevice::ReadWrite)) {
        int err = EIO;
        switch (d_->port.error()) {
        case QSerialPort::DeviceNotFoundError: err = ENOENT; break;
        case QSerialPort::PermissionError: err = EACCES; break;
        case QSerialPort::OpenError: err = EBUSY; break;
        default: break;
        }
        d_->lastFailure = ExplainOpenFailure(device, err);
        d_->port.clearError();
        throw EComPort(d_->lastFailure);
    }
    d_->lastFailure.clear();
    const LineSettings l = d_->line;
    SetBaudRate(l.BaudRate);
    SetDataBits(l.DataBits);
    SetStopBits(l.Stop);
    SetParityCheck(l.ParityCheck);
    d_->port.setFlowControl(l.Flow == FlowControl::Hardware ? QSerialPort::HardwareControl
                            : l.Flow == FlowControl::Software ? QSerialPort::SoftwareControl
                                                              : QSerialPort::NoFlowControl);
    SetDTR(d_->dtr);
    if (l.Flow != FlowControl::Hardware)
        SetRTS(d_->rts);
    d_->port.clearError();
}

void QtSerialPort::Close()
{
    d_->port.close();
    d_->DropStaged();
    d_->waiting = false;
}

bool QtSerialPort::Connected() const { return d_->port.isOpen(); }

void QtSerialPort::SetBaudRate(int baud)
{
    d_->line.BaudRate = baud;
    if (d_->port.isOpen())
        d_->port.setBaudRate(baud);
}

void QtSerialPort::SetDataBits(int bits)
{
    d_->line.DataBits = bits;
    if (d_->port.isOpen())
        d_->port.setDataBits(static_cast<QSerialPort::DataBits>(bits));
}

void QtSerialPort::SetStopBits(StopBits stop)
{
    d_->line.Stop = stop;
    if (d_->port.isOpen())
        d_->port.setStopBits(stop == StopBits::Two ? QSerialPort::TwoStop
                             : stop == StopBits::OnePointFive ? QSerialPort::OneAndHalfStop
                                                              : QSerialPort::OneStop);
}

void QtSerialPort::SetParityCheck(bool on)
{
    d_->line.ParityCheck = on;
    if (!d_->port.isOpen())
        return;
    const Parity p = on ? d_->line.ParityBits : Parity::None;
    d_->port.setParity(p == Parity::Odd     ? QSerialPort::OddParity
                       : p == Parity::Even  ? QSerialPort::EvenParity
                       : p == Parity::Mark  ? QSerialPort::MarkParity
                       : p == Parity::Space ? QSerialPort::SpaceParity
                                            : QSerialPort::NoParity);
}

void QtSerialPort::SetDtrControl(DtrControl control) { d_->line.Dtr = control; }

// A pseudo-terminal has no modem lines ("Inappropriate ioctl for device"): the port
// works all the same, and the error Qt leaves set must not linger.
void QtSerialPort::SetDTR(bool on)
{
    d_->dtr = on;
    if (d_->port.isOpen() && !d_->port.setDataTerminalReady(on))
        d_->port.clearError();
}

void QtSerialPort::SetRTS(bool on)
{
    d_->rts = on;
    if (d_->port.isOpen() && d_->port.flowControl() != QSerialPort::HardwareControl &&
        !d_->port.setRequestToSend(on))
        d_->port.clearError();
}

LineSettings QtSerialPort::Settings() const { return d_->line; }

void QtSerialPort::ShowSetupDialog()
{
    const std::vector<DetectedPort> present = Detect();
    d_->bindings = RefreshBindings(d_->bindings, d_->byHand, present, d_->known);
    PortSetupDialog dialog(d_->dialogParent);
    PortSetupChoice choice;
    choice.Name = d_->name;
    choice.Line = d_->line;
    choice.Bindings = d_->bindings;
    choice.LastFailure = d_->lastFailure;
    if (!dialog.Run(choice, present))
        return;
    d_->name = choice.Name;
    d_->line = choice.Line;
    // Taking the device offered keeps the name following the devices present.
    for (const auto& [n, dev] : choice.Bindings)
        if (DeviceFor(n) != dev)
            Bind(n, dev);
}

int QtSerialPort::ReadStr(std::string& s, int count)
{
    if (count <= 0 || !d_->port.isOpen())
        return 0;
    size_t done = 0;
    while (done < static_cast<size_t>(count)) {
        if (d_->Staged() == 0) {
            d_->DropStaged();
            const qint64 available = d_->port.bytesAvailable();
            if (available <= 0)
                break;
            d_->staged.resize(static_cast<size_t>(available));
            const qint64 got = d_->port.read(d_->staged.data(), available);
            d_->staged.resize(static_cast<size_t>(std::max<qint64>(got, 0)));
            if (got <= 0)
                break;
        }
        const size_t n = std::min(static_cast<size_t>(count) - done, d_->Staged());
        s.append(d_->staged, d_->stagedAt, n);
        d_->stagedAt += n;
        done += n;
    }
    return static_cast<int>(done);
}

void QtSerialPort::WriteStr(const std::string& s)
{
    if (!d_->port.isOpen() || s.empty())
        return;
    d_->port.write(s.data(), static_cast<qint64>(s.size()));
    const int baud = d_->line.BaudRate > 0 ? d_->line.BaudRate : 4800;
    const auto lineTime = std::chrono::microseconds(static_cast<long long>(s.size()) * 10'000'000LL / baud);
    const auto now = d_->clock();
    d_->deadline = std::max(d_->deadline, now) + lineTime;
    d_->waiting = true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(d_->deadline - now);
    d_->drain.start(static_cast<int>(std::max<long long>(1, left.count())));
}

void QtSerialPort::TransmitChar(char c) { WriteStr(std::string(1, c)); }

void QtSerialPort::ClearBuffer(bool input, bool output)
{
    if (!d_->port.isOpen())
        return;
    QSerialPort::Directions dirs;
    if (input)
        dirs |= QSerialPort::Input;
    if (output)
        dirs |= QSerialPort::Output;
    if (input)
        d_->DropStaged();
    d_->port.clear(dirs);
}

void QtSerialPort::SetClock(Clock clock) { d_->clock = std::move(clock); }

}  // namespace platform
