// A device server's port over TCP (Qt Network), with or without the Com Port
// Control Option (ComPortControl does its bytes).
//
// The server has no output-empty event either: the component's line time, counted
// at the line as set, stands for it as for a cable. What the server holds back
// (CTS low under hardware flow, or its own suspend) holds the line here.

#include "platform/serial/NetworkTransport.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <optional>

#include "platform/serial/ComPortControl.h"
#include "platform/serial/PortNames.h"

namespace platform {
namespace {

using Clock = std::chrono::steady_clock;

// How long the modem lines' answers may trail the line's: a server that has not
// answered them by then ignores them (one serving a line with no modem lines).
constexpr auto kModemLinesGrace = std::chrono::milliseconds(300);
// The answer to a setting changed on an open port.
constexpr auto kSettingAnswer = std::chrono::seconds(2);
// Bytes of a server's that make no sense before it is let go.
constexpr int64_t kNonsenseBound = 4096;
const std::string kNotTelnet = "the device server sends what is not Telnet with the serial port control (RFC 2217)";

bool IsModemLine(ServerSetting s) { return s == ServerSetting::Dtr || s == ServerSetting::Rts; }
bool IsLineSetting(ServerSetting s) { return !IsModemLine(s) && s != ServerSetting::Purge; }

class NetworkTransport final : public SerialTransport {
public:
    explicit NetworkTransport(std::chrono::milliseconds openBound) : openBound_(openBound) {}
    ~NetworkTransport() override { Close(); }

    int Open(const std::string& device, const LineSettings& line, bool dtr, bool rts) override;
    void Close() override;
    bool IsOpen() const override { return open_; }

    void SetBaudRate(int baud) override { line_.BaudRate = baud, AskLine(); }
    void SetDataBits(int bits) override { line_.DataBits = bits, AskLine(); }
    void SetStopBits(StopBits stop) override { line_.Stop = stop, AskLine(); }
    void SetParity(Parity parity) override
    {
        line_.ParityBits = parity;
        line_.ParityCheck = parity != Parity::None;
        AskLine();
    }
    void SetFlowControl(FlowControl flow) override;
    void SetDTR(bool on) override { AskModemLine([&](std::string& out) { control_->AskDtr(out, on); }); }
    void SetRTS(bool on) override
    {
        if (DrivesRts(line_.Flow))
            AskModemLine([&](std::string& out) { control_->AskRts(out, on); });
    }
    // A device server holds its line at its own settings, set up for the device,
    // and forwards from the moment it is connected: what came meanwhile is the
    // device's (a first poll, say) and is kept.
    void Settle() override { failure_.clear(); }

    int64_t BytesAvailable() const override { return static_cast<int64_t>(rx_.size()); }
    int64_t Read(char* data, int64_t max) override;
    bool TakeMore() override;
    void Write(const char* data, int64_t size) override;
    bool OutputPending() override { return socket_ && socket_->bytesToWrite() > 0; }
    void Clear(bool input, bool output) override;
    bool LineHolds() override
    {
        if (!control_)
            return false;
        return control_->Suspended() ||
               (line_.Flow == FlowControl::Hardware && !ignoresModemLines_ && control_->Cts() == false);
    }
    LineErrors LineErrorsSeen() override { return control_ ? control_->Errors() : LineErrors{}; }
    std::string TakeFailure() override { return std::exchange(failure_, {}); }

private:
    bool WaitUntil(const std::function<bool()>& done, Clock::time_point deadline);
    bool Answered(bool (*kind)(ServerSetting)) const;
    int Fail(int err, const std::string& why);
    int Cut()
    {
        Waiting({});
        failure_ = CutOpenWords(name_);
        return ECANCELED;
    }
    std::string RefusedText();
    void Pump();
    void Send(const std::string& bytes);
    void AskLine();
    void AskModemLine(const std::function<void(std::string&)>& ask);
    void Arrived();
    void NotifyLater();
    void Dropped(const std::string& cause = {});
    // Said once the open has taken longer than a moment, as a cable's is.
    void Waiting(const std::string& what)
    {
        waitingFor_ = what;
        if (what.empty() && told_.empty())
            return;
        if (what.empty() || Clock::now() - openStart_ >= kOpenQuiet)
            Tell(what);
    }
    void Tell(const std::string& what)
    {
        told_ = what;
        if (OnWaiting)
            OnWaiting(what);
    }

    std::unique_ptr<QTcpSocket> socket_;
    std::unique_ptr<ComPortControl> control_;
    std::string name_, failure_, rx_, why_;
    LineSettings line_, confirmed_;
    bool open_ = false, ignoresModemLines_ = false, dropped_ = false, notifying_ = false;
    int attempt_ = 0;
    std::string waitingFor_, told_;
    Clock::time_point openStart_;
    const std::chrono::milliseconds openBound_;
};

int NetworkTransport::Fail(int err, const std::string& why)
{
    failure_ = name_ + ": " + why;
    const std::string kept = failure_;
    Close();
    failure_ = kept;
    Waiting({});
    return err;
}

int NetworkTransport::Open(const std::string& device, const LineSettings& line, bool dtr, bool rts)
{
    // From a timer inside the wait of an open under way: a socket, not yet open.
    if (socket_ && !open_) {
        failure_ = StillOpeningWords(device);
        return EBUSY;
    }
    Close();
    openStart_ = Clock::now();
    NetworkPortName where;
    name_ = device;
    if (const std::string why = ParseNetworkPortName(device, where); !why.empty()) {
        failure_ = why;
        return EINVAL;
    }
    line_ = line;
    const int attempt = ++attempt_;
    const auto deadline = Clock::now() + openBound_;
    socket_ = std::make_unique<QTcpSocket>();
    // A full buffer stops the reading and TCP holds the server back: a flood
    // costs no memory here and loses no byte.
    socket_->setReadBufferSize(kSerialReadBuffer);
    QObject::connect(socket_.get(), &QTcpSocket::readyRead, socket_.get(), [this] { Arrived(); });
    QObject::connect(socket_.get(), &QTcpSocket::disconnected, socket_.get(), [this] { Dropped(); });
    QObject::connect(socket_.get(), &QTcpSocket::errorOccurred, socket_.get(), [this] { Dropped(); });
    why_.clear();
    const std::string bound = " (at most " + SecondsWords(openBound_) + ")";
    Waiting(name_ + ": connecting to the device server" + bound + "...");
    socket_->connectToHost(QString::fromStdString(where.Host), where.Port);
    auto cancelled = [&] { return attempt != attempt_ || !socket_; };
    if (!WaitUntil([&] { return cancelled() || dropped_ || socket_->state() == QAbstractSocket::ConnectedState; },
                   deadline))
        return Fail(ETIMEDOUT, "the device server did not answer within " + SecondsWords(openBound_) +
                                   " (the host is off or unreachable, or a firewall drops the connection)");
    if (cancelled())
        return Cut();
    if (dropped_) {
        switch (socket_->error()) {
        case QAbstractSocket::ConnectionRefusedError:
            return Fail(ECONNREFUSED, "nothing serves a port there (connection refused): is the device server "
                                      "running, and is this its TCP port?");
        case QAbstractSocket::HostNotFoundError:
            return Fail(ENOENT, "no host of that name is known (the name resolves to nothing)");
        default:
            return Fail(EIO, "cannot connect: " + socket_->errorString().toStdString());
        }
    }
    // The device waits for each reply: no byte may wait to be coalesced.
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (where.Rfc2217) {
        control_ = std::make_unique<ComPortControl>();
        Waiting(name_ + ": asking the device server for control of the serial line (RFC 2217)" + bound + "...");
        Send(control_->Hello());
        Pump();
        const bool answered = WaitUntil(
            [&] { return cancelled() || dropped_ || control_->State() != ComPortControl::Option::Asked; }, deadline);
        if (cancelled())
            return Cut();
        if (dropped_)
            return Fail(EIO, why_ == kNotTelnet ? why_
                                                : "the device server closed the connection before serving the line (it "
                                                  "serves another client, or cannot open its serial port)");
        if (!answered)
            return Fail(ETIMEDOUT, "the device server did not take up control of the serial line (RFC 2217) within " +
                                       SecondsWords(openBound_) + "; for a raw TCP port write socket://");
        if (control_->State() == ComPortControl::Option::Refused)
            return Fail(EPROTO, "the device server refuses control of the serial line (RFC 2217); for a raw TCP "
                                "port write socket://");
        std::string ask;
        control_->AskLine(ask, line);
        control_->AskFlow(ask, line.Flow);
        control_->AskDtr(ask, dtr);
        if (DrivesRts(line.Flow))
            control_->AskRts(ask, rts);
        control_->AskNotifications(ask);
        Send(ask);
        const bool settled =
            WaitUntil([&] { return cancelled() || dropped_ || Answered(IsLineSetting); }, deadline);
        if (!cancelled() && !dropped_ && settled)
            WaitUntil([&] { return cancelled() || dropped_ || Answered(IsModemLine); },
                      std::min(deadline, Clock::now() + kModemLinesGrace));
        if (cancelled())
            return Cut();
        if (dropped_)
            return Fail(EIO, why_ == kNotTelnet ? why_ : "the device server closed the connection while the line was set");
        if (const std::string refused = RefusedText(); !refused.empty())
            return Fail(EINVAL, refused);
        std::string unanswered, ignored;  // each asked once an open
        for (ServerSetting s : control_->Unanswered()) {
            if (IsLineSetting(s))
                unanswered += (unanswered.empty() ? "" : ", ") + ComPortControl::Describe(s, ComPortControl::WireValue(s, line));
            else if (IsModemLine(s))
                ignored += (ignored.empty() ? "" : " and ") + ComPortControl::Describe(s, 0);
        }
        if (!unanswered.empty())
            return Fail(ETIMEDOUT, "the device server did not confirm the line's settings (" + unanswered +
                                       ") within " + SecondsWords(openBound_));
        ignoresModemLines_ = !ignored.empty();
        if (ignoresModemLines_ && OnNote) {
            const std::string note = name_ + ": the device server did not set " + ignored +
                                     " (its line has no modem lines, a pseudo-terminal say), so CTS is not "
                                     "taken as holding the line";
            QTimer::singleShot(0, socket_.get(), [this, note] {
                if (OnNote)
                    OnNote(note);
            });
        }
    }
    confirmed_ = line;
    open_ = true;
    Waiting({});
    if (!rx_.empty())
        NotifyLater();
    return 0;
}

void NetworkTransport::Close()
{
    ++attempt_;
    open_ = false;
    if (socket_) {
        socket_->disconnect();
        socket_->abort();
        // Close may come from inside one of the socket's own signals.
        socket_.release()->deleteLater();
    }
    control_.reset();
    rx_.clear();
    dropped_ = ignoresModemLines_ = notifying_ = false;
    failure_.clear();
}

// The event loop turns (the window paints, user input waits) until done() or the
// deadline; false at the deadline.
bool NetworkTransport::WaitUntil(const std::function<bool()>& done, Clock::time_point deadline)
{
    while (!done()) {
        if (told_ != waitingFor_ && Clock::now() - openStart_ >= kOpenQuiet)
            Tell(waitingFor_);
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        QEventLoop loop;
        QTimer::singleShot(left, &loop, &QEventLoop::quit);
        QTimer::singleShot(10, &loop, &QEventLoop::quit);  // a Close from elsewhere ends the wait too
        if (socket_) {
            QObject::connect(socket_.get(), &QTcpSocket::connected, &loop, &QEventLoop::quit);
            QObject::connect(socket_.get(), &QTcpSocket::readyRead, &loop, &QEventLoop::quit);
            QObject::connect(socket_.get(), &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
            QObject::connect(socket_.get(), &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
        }
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return true;
}

bool NetworkTransport::Answered(bool (*kind)(ServerSetting)) const
{
    for (ServerSetting s : control_->Unanswered())
        if (kind(s))
            return false;
    return true;
}

// A setting of the line the server answered with another value: the device would
// hear garbage, so it is told as a driver's refusal is.
std::string NetworkTransport::RefusedText()
{
    std::string refused;
    for (const ComPortControl::Answer& a : control_->TakeRefusals()) {
        if (!IsLineSetting(a.Which))
            continue;
        refused += (refused.empty() ? "" : "; ") + ComPortControl::Describe(a.Which, a.Asked) + " (it set " + ComPortControl::Describe(a.Which, a.Got) + ")";
    }
    return refused.empty() ? refused : "the device server refused " + refused;
}

void NetworkTransport::Pump()
{
    char buffer[4096];
    while (socket_ && rx_.size() < static_cast<size_t>(kSerialReadBuffer) && socket_->bytesAvailable() > 0) {
        const int64_t room = std::min<int64_t>(sizeof buffer, kSerialReadBuffer - static_cast<int64_t>(rx_.size()));
        const int64_t got = socket_->read(buffer, room);
        if (got <= 0)
            return;
        if (!control_) {
            rx_.append(buffer, static_cast<size_t>(got));
            continue;
        }
        std::string reply;
        control_->Take(std::string_view(buffer, static_cast<size_t>(got)), rx_, reply);
        if (!reply.empty())
            Send(reply);
    }
}

void NetworkTransport::Send(const std::string& bytes)
{
    if (!socket_ || bytes.empty())
        return;
    socket_->write(bytes.data(), static_cast<qint64>(bytes.size()));
    socket_->flush();
}

// From the event loop: what came is taken in and the component told.
void NetworkTransport::Arrived()
{
    const size_t before = rx_.size();
    const LineErrors errors = LineErrorsSeen();
    Pump();
    // A server that keeps sending what is not Telnet serves no device: let go of
    // it rather than answer it for ever.
    if (control_ && control_->Nonsense() > kNonsenseBound)
        return Dropped(kNotTelnet);
    if (!open_)
        return;
    if (control_) {
        const std::string refused = RefusedText();
        if (!refused.empty() && OnNote)
            OnNote(name_ + ": " + refused);
    }
    if ((rx_.size() != before || LineErrorsSeen().Total() != errors.Total()) && OnReadyRead)
        OnReadyRead();
}

void NetworkTransport::Dropped(const std::string& cause)
{
    if (dropped_ || !socket_)
        return;
    dropped_ = true;
    why_ = !cause.empty() ? cause
           : socket_->error() == QAbstractSocket::RemoteHostClosedError
               ? "the device server closed the connection"
               : "the connection to the device server broke: " + socket_->errorString().toStdString();
    if (!open_)
        return;
    // Bytes that came before the loss are the device's: handed over first.
    Pump();
    if (OnLost)
        OnLost(why_);
}

int64_t NetworkTransport::Read(char* data, int64_t max)
{
    const int64_t n = std::min<int64_t>(max, static_cast<int64_t>(rx_.size()));
    rx_.copy(data, static_cast<size_t>(n));
    rx_.erase(0, static_cast<size_t>(n));
    // What waited behind a full buffer is told from the event loop, as new bytes are.
    if (socket_ && socket_->bytesAvailable() > 0)
        NotifyLater();
    return n;
}

void NetworkTransport::NotifyLater()
{
    if (notifying_ || !socket_)
        return;
    notifying_ = true;
    QTimer::singleShot(0, socket_.get(), [this] {
        notifying_ = false;
        Pump();
        if (open_ && !rx_.empty() && OnReadyRead)
            OnReadyRead();
    });
}

bool NetworkTransport::TakeMore()
{
    const size_t before = rx_.size();
    Pump();
    return rx_.size() != before;
}

void NetworkTransport::Write(const char* data, int64_t size)
{
    if (!open_)
        return;
    if (!control_)
        return Send(std::string(data, static_cast<size_t>(size)));
    std::string out;
    ComPortControl::AppendData(out, std::string_view(data, static_cast<size_t>(size)));
    Send(out);
}

void NetworkTransport::Clear(bool input, bool output)
{
    if (!open_)
        return;
    if (input) {
        Pump();
        rx_.clear();
    }
    if (control_) {
        std::string ask;
        control_->AskPurge(ask, input, output);
        Send(ask);
    }
}

void NetworkTransport::SetFlowControl(FlowControl flow)
{
    line_.Flow = flow;
    if (!open_ || !control_ || flow == confirmed_.Flow)
        return;
    std::string ask;
    control_->AskFlow(ask, flow);
    Send(ask);
    confirmed_.Flow = flow;
}

// A change on an open port waits, bounded, for the server's answer: a refusal is
// told as a driver's is, at once.
void NetworkTransport::AskLine()
{
    const auto same = [](const LineSettings& a, const LineSettings& b) {
        return a.BaudRate == b.BaudRate && a.DataBits == b.DataBits && a.Stop == b.Stop && ParityOf(a) == ParityOf(b);
    };
    // Asking again what the server confirmed would only spin the event loop.
    if (!open_ || !control_ || same(line_, confirmed_))
        return;
    std::string ask;
    control_->AskLine(ask, line_);
    Send(ask);
    const int attempt = attempt_;
    WaitUntil([&] { return attempt != attempt_ || dropped_ || Answered(IsLineSetting); },
              Clock::now() + kSettingAnswer);
    if (attempt != attempt_ || dropped_)
        return;
    failure_ = RefusedText();
    if (!failure_.empty())
        failure_ = name_ + ": " + failure_;
    else if (!Answered(IsLineSetting))
        failure_ = name_ + ": the device server did not confirm the line's new settings";
    else
        confirmed_ = line_;
}

void NetworkTransport::AskModemLine(const std::function<void(std::string&)>& ask)
{
    if (!open_ || !control_ || ignoresModemLines_)
        return;
    std::string out;
    ask(out);
    Send(out);
}

}  // namespace

std::unique_ptr<SerialTransport> MakeNetworkTransport(std::chrono::milliseconds openBound)
{
    return std::make_unique<NetworkTransport>(openBound);
}

}  // namespace platform
