// The serial component, the same on every system; the port itself is a
// SerialTransport (Qt Serial Port on Linux, the Win32 API on Windows).
//
// Output-empty emulation. The port has no output-buffer-empty signal, and a
// finished write only says that the driver took the bytes. Every write therefore
// extends a deadline: the moment the bytes written so far would have left the line
// at the port's speed and format (start, data, parity and stop bits), counted from
// the later of now and the previous deadline. A single-shot timer wakes at the
// deadline and the adapter's latency after it, and then checks
// that neither the transport nor the driver's output queue holds a byte
// (TIOCOUTQ on Linux, ClearCommError's cbOutQue on Windows; a pseudo-terminal
// reports 0 at once, which is why the line time is the lower bound). Only then is
// OnTxEmpty raised, from the event loop, so always after the handler that wrote
// has returned. A write while a wait is under way just moves the deadline: one
// event follows everything written.
//
// A line that holds the bytes back (CTS low under hardware flow control) keeps
// the driver's queue, and a USB adapter's or a UART's buffer the driver cannot
// see, from moving. A USB adapter's driver hands a short write to the chip at
// once and counts nothing queued, so a low CTS holds the line whenever bytes
// written here cannot be on the wire yet (their line time has not passed since
// the write), whatever the driver says: while it holds, output-empty waits, and
// once it lets go the bytes written since the last event need their line time
// from that moment.
// Held about a second, the user is told (OnLineHeld), and told again when it
// lets go.

#include "platform/serial/SerialComponent.h"

#include <QTimer>
#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "platform/serial/NetworkTransport.h"
#include "platform/serial/PortNames.h"
#include "platform/serial/System.h"
#include "platform/serial/PortSetupDialog.h"
#include "platform/serial/SerialTransport.h"

namespace platform {

struct SerialComponent::Impl {
    std::unique_ptr<SerialTransport> port;
    QTimer drain;
    std::string name = kStartPortName;
    std::map<std::string, std::string> bindings;
    std::set<std::string> byHand;  // names the user bound to a device of his choice
    std::map<std::string, std::string> known;  // how each name's device is recognised
    LineSettings line;
    bool dtr = true, rts = true;
    Clock clock = [] { return std::chrono::steady_clock::now(); };
    std::chrono::steady_clock::time_point deadline{};
    bool waiting = false;
    int64_t unsent = 0;  // bytes written since the last output-empty event
    bool holding = false, toldHeld = false;
    std::chrono::steady_clock::time_point heldSince{};
    LineErrors errors;  // seen since the last Open
    std::string lastFailure;
    QWidget* dialogParent = nullptr;
    // What the last read took from the port, handed out from here: the dispatcher
    // reads a byte at a time, and a read costs as much for one byte as for all.
    std::string staged;
    size_t stagedAt = 0;
    bool gathering = false;                // more bytes are being read for one event
    bool lostMeanwhile = false;           // the device went while they were
    std::string lostWhy;

    size_t Staged() const { return staged.size() - stagedAt; }
    void DropStaged()
    {
        staged.clear();
        stagedAt = 0;
    }
};

namespace {

constexpr int64_t kGather = kSerialReadBuffer - 4096;
constexpr int64_t kFlood = 1024;
constexpr auto kHeldTell = std::chrono::milliseconds(1000);
constexpr int kHeldPollMs = 20;
constexpr long long kWaitPollMs = 100;  // how soon a hold under a long write is seen

// What a USB adapter adds before written bytes are on the line: a USB frame and
// the chip's latency timer (16 ms by default on FTDI). A UART needs less; waiting
// it out costs a paced header byte nothing, as its tick is longer.
constexpr auto kAdapterLatency = std::chrono::milliseconds(17);

// Start, data, parity and stop bits of every byte, as the line is set.
std::chrono::microseconds LineTime(int64_t bytes, const LineSettings& line)
{
    const int stopHalves = line.Stop == StopBits::Two ? 4 : line.Stop == StopBits::OnePointFive ? 3 : 2;
    const int64_t halfBits = 2 * (1 + line.DataBits + (ParityOf(line) != Parity::None ? 1 : 0)) + stopHalves;
    const int64_t baud = line.BaudRate > 0 ? line.BaudRate : kDeviceLine.BaudRate;
    return std::chrono::microseconds(bytes * halfBits * 500'000LL / baud);
}

std::vector<DetectedPort> Detect() { return DetectSerialPorts(); }

}  // namespace

SerialComponent::SerialComponent(QWidget* dialogParent)
    : SerialComponent(dialogParent, WithNetworkPorts(MakeSerialTransport()))
{
}

SerialComponent::SerialComponent(QWidget* dialogParent, std::unique_ptr<SerialTransport> transport) : d_(new Impl)
{
    d_->port = std::move(transport);
    d_->dialogParent = dialogParent;
    d_->bindings = RefreshBindings({}, {}, Detect(), d_->known);
    d_->drain.setSingleShot(true);
    SerialTransport& port = *d_->port;
    // A vanished device may be reported again and again: close at the first
    // report and tell once. The reason is the line's, not the error of whichever
    // call happened to notice (on a pseudo-terminal anything from EAGAIN to ENOTTY).
    auto lose = [this](const std::string& why) {
        if (!d_->port->IsOpen())
            return;
        d_->port->Close();
        d_->DropStaged();
        d_->waiting = false;
        EndHold();
        d_->lastFailure = d_->name + ": device lost (" +
                          (!why.empty() ? why
                                : "the line went away: the adapter unplugged, the device switched off or its cable "
                                  "pulled, or the program at the other end closed it") +
                          ")";
        Tell(d_->lastFailure);
    };
    port.OnReadyRead = [this, lose] {
        if (d_->gathering)
            return;
        // A flood arrives a few kilobytes to a read: what has come in meanwhile
        // goes with the same event, up to the read buffer. A short read (a poll,
        // a line at 4800 baud) is handed over at once.
        SerialTransport& p = *d_->port;
        d_->gathering = true;
        while (p.IsOpen() && p.BytesAvailable() >= kFlood && p.BytesAvailable() < kGather && p.TakeMore()) {
        }
        d_->gathering = false;
        if (OnRxChar && p.IsOpen() && p.BytesAvailable() + static_cast<int64_t>(d_->Staged()) > 0)
            OnRxChar(static_cast<int>(p.BytesAvailable() + static_cast<int64_t>(d_->Staged())));
        CheckLineErrors();
        if (d_->lostMeanwhile) {
            // The bytes that came before the loss have been handed over first.
            d_->lostMeanwhile = false;
            lose(std::exchange(d_->lostWhy, {}));
        }
    };
    connect(&d_->drain, &QTimer::timeout, this, [this] {
        if (!d_->waiting)
            return;
        const auto now = d_->clock();
        CheckLineErrors();
        SerialTransport& p = *d_->port;
        if (p.IsOpen() && p.LineHolds() &&
            (d_->holding || now < d_->deadline + kAdapterLatency || p.OutputPending())) {
            StartHold(now);
            d_->drain.start(kHeldPollMs);
            if (!d_->toldHeld && now - d_->heldSince >= kHeldTell) {
                d_->toldHeld = true;
                if (OnLineHeld)
                    OnLineHeld(true);
            }
            return;
        }
        if (d_->holding) {
            d_->holding = false;
            d_->deadline = std::max(d_->deadline, now + LineTime(d_->unsent, d_->line));
            if (d_->toldHeld) {
                d_->toldHeld = false;
                if (OnLineHeld)
                    OnLineHeld(false);
                if (!d_->waiting)
                    return;
            }
        }
        if (now < d_->deadline + kAdapterLatency) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(d_->deadline + kAdapterLatency - now);
            d_->drain.start(static_cast<int>(std::clamp<long long>(left.count(), 1, kWaitPollMs)));
            return;
        }
        if (d_->port->IsOpen() && d_->port->OutputPending()) {
            d_->drain.start(2);
            return;
        }
        d_->waiting = false;
        d_->unsent = 0;
        if (OnTxEmpty)
            OnTxEmpty();
    });
    port.OnWaiting = [this](const std::string& what) {
        if (OnWaiting)
            OnWaiting(what);
    };
    port.OnNote = [this](const std::string& what) {
        if (OnNote)
            OnNote(what);
    };
    port.OnLost = [this, lose](const std::string& why) {
        if (!d_->port->IsOpen())
            return;
        if (d_->gathering) {
            d_->lostMeanwhile = true;
            d_->lostWhy = why;
            return;
        }
        lose(why);
    };
}

SerialComponent::~SerialComponent()
{
    d_->port->Close();
    delete d_;
}

// Each port choice looks at the devices present now: an adapter plugged in after
// start takes a free name, one plugged back gets its own.
void SerialComponent::SetPort(const std::string& name)
{
    d_->name = name;
    d_->bindings = RefreshBindings(d_->bindings, d_->byHand, Detect(), d_->known);
}
std::string SerialComponent::Port() const { return d_->name; }

void SerialComponent::Bind(const std::string& name, const std::string& device)
{
    d_->bindings[name] = device;
    d_->byHand.insert(name);
}

std::string SerialComponent::DeviceFor(const std::string& name) const
{
    auto it = d_->bindings.find(name);
    return it == d_->bindings.end() ? name : it->second;
}

std::string SerialComponent::LastFailure() const { return d_->lastFailure; }

void SerialComponent::Open()
{
    if (d_->port->IsOpen())
        return;
    const std::string device = DeviceFor(d_->name);
    if (StandsForNoDevice(device)) {
        d_->lastFailure = d_->name + " stands for no serial device of this machine";
        throw EComPort(d_->lastFailure);
    }
    d_->DropStaged();
    // A setting the driver refused would leave the previous owner's line: garbage
    // or silence. The open fails with what was refused.
    if (const int err = d_->port->Open(device, d_->line, d_->dtr, d_->rts)) {
        const std::string why = d_->port->TakeFailure();
        d_->lastFailure = why.empty() ? ExplainOpenFailure(device, err) : why;
        throw EComPort(d_->lastFailure);
    }
    d_->lastFailure.clear();
    d_->errors = {};
    d_->unsent = 0;
    d_->holding = d_->toldHeld = false;
    d_->port->Settle();
}

void SerialComponent::Close()
{
    d_->port->Close();
    d_->DropStaged();
    d_->waiting = false;
    EndHold();
}

// Bytes written while CTS is low cannot leave, whatever the driver says.
void SerialComponent::StartHold(std::chrono::steady_clock::time_point now)
{
    if (!d_->holding)
        d_->heldSince = now;
    d_->holding = true;
}

// A setting refused on the open port: the driver keeps its own, and the user
// hears which.
void SerialComponent::TellRefusal()
{
    const std::string why = d_->port->TakeFailure();
    if (why.empty())
        return;
    d_->lastFailure = why;
    Tell(why);
}

// From the event loop, as every event of the component.
void SerialComponent::Tell(const std::string& message)
{
    if (OnError)
        QTimer::singleShot(0, this, [this, message] {
            if (OnError)
                OnError(message);
        });
}

// A held line told to the user is told let go when the port closes: nothing
// waits on it any more.
void SerialComponent::EndHold()
{
    d_->holding = false;
    if (!d_->toldHeld)
        return;
    d_->toldHeld = false;
    QTimer::singleShot(0, this, [this] {
        if (OnLineHeld)
            OnLineHeld(false);
    });
}

bool SerialComponent::Connected() const { return d_->port->IsOpen(); }

void SerialComponent::SetBaudRate(int baud)
{
    d_->line.BaudRate = baud;
    if (d_->port->IsOpen()) {
        d_->port->SetBaudRate(baud);
        TellRefusal();
    }
}

void SerialComponent::SetDataBits(int bits)
{
    d_->line.DataBits = bits;
    if (d_->port->IsOpen()) {
        d_->port->SetDataBits(bits);
        TellRefusal();
    }
}

void SerialComponent::SetStopBits(StopBits stop)
{
    d_->line.Stop = stop;
    if (d_->port->IsOpen()) {
        d_->port->SetStopBits(stop);
        TellRefusal();
    }
}

void SerialComponent::SetParityCheck(bool on)
{
    d_->line.ParityCheck = on;
    if (d_->port->IsOpen()) {
        d_->port->SetParity(ParityOf(d_->line));
        TellRefusal();
    }
}

void SerialComponent::SetFlowControl(FlowControl flow)
{
    d_->line.Flow = flow;
    if (d_->port->IsOpen()) {
        d_->port->SetFlowControl(flow);
        TellRefusal();
    }
}

void SerialComponent::SetDtrControl(DtrControl control) { d_->line.Dtr = control; }

void SerialComponent::SetDTR(bool on)
{
    d_->dtr = on;
    if (d_->port->IsOpen())
        d_->port->SetDTR(on);
}

void SerialComponent::SetRTS(bool on)
{
    d_->rts = on;
    if (d_->port->IsOpen())
        d_->port->SetRTS(on);
}

LineSettings SerialComponent::Settings() const { return d_->line; }

void SerialComponent::ShowSetupDialog()
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

int SerialComponent::ReadStr(std::string& s, int count)
{
    SerialTransport& port = *d_->port;
    if (count <= 0 || !port.IsOpen())
        return 0;
    size_t done = 0;
    while (done < static_cast<size_t>(count)) {
        if (d_->Staged() == 0) {
            d_->DropStaged();
            const int64_t available = port.BytesAvailable();
            if (available <= 0)
                break;
            d_->staged.resize(static_cast<size_t>(available));
            const int64_t got = port.Read(d_->staged.data(), available);
            d_->staged.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
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

void SerialComponent::WriteStr(const std::string& s)
{
    if (!d_->port->IsOpen() || s.empty())
        return;
    d_->port->Write(s.data(), static_cast<int64_t>(s.size()));
    d_->unsent += static_cast<int64_t>(s.size());
    const auto now = d_->clock();
    d_->deadline = std::max(d_->deadline, now) + LineTime(static_cast<int64_t>(s.size()), d_->line);
    d_->waiting = true;
    if (d_->port->LineHolds())
        StartHold(now);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(d_->deadline - now);
    d_->drain.start(static_cast<int>(std::clamp<long long>(left.count(), 1, kWaitPollMs)));
}

void SerialComponent::TransmitChar(char c) { WriteStr(std::string(1, c)); }

void SerialComponent::ClearBuffer(bool input, bool output)
{
    if (!d_->port->IsOpen())
        return;
    if (input)
        d_->DropStaged();
    d_->port->Clear(input, output);
    if (output)
        d_->unsent = 0;
}

LineErrors SerialComponent::LineErrorsSeen()
{
    if (d_->port->IsOpen())
        d_->errors = d_->port->LineErrorsSeen();
    return d_->errors;
}

// Told once for each growth of the count, never once a byte.
void SerialComponent::CheckLineErrors()
{
    if (!d_->port->IsOpen())
        return;
    const int before = d_->errors.Total();
    if (LineErrorsSeen().Total() > before && OnLineErrors)
        OnLineErrors(d_->errors);
}

void SerialComponent::SetClock(Clock clock) { d_->clock = std::move(clock); }

}  // namespace platform
