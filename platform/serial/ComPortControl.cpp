#include "platform/serial/ComPortControl.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace platform {

namespace {

// Telnet's commands and the options this client speaks.
constexpr unsigned char IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, GA = 249, DM = 242,
                        NOP = 241, SE = 240;
constexpr unsigned char kBinary = 0, kSga = 3, kComPort = 44;
constexpr unsigned char CR = '\r';

// The option's commands as the client sends them; the server's are these + 100.
enum : unsigned char {
    Signature = 0, SetBaudRate, SetDataSize, SetParity, SetStopSize, SetControl, NotifyLineState,
    NotifyModemState, FlowControlSuspend, FlowControlResume, SetLineStateMask, SetModemStateMask, PurgeData
};
constexpr unsigned char kFromServer = 100;

// The longest subnegotiation kept (the longest this client needs is 6 bytes).
constexpr int64_t kSubBound = 64;
// How often one option may change state, and how often the signature is said,
// in one connection: past that the server is looping, and is no longer answered.
constexpr int kChangesBound = 16;
constexpr int kSignaturesBound = 16;
const std::string_view kSignatureText = "serbox";

// The line state's bits counted as line errors, and the modem state's CTS.
constexpr unsigned char kOverrun = 0x02, kParityError = 0x04, kFraming = 0x08, kBreak = 0x10;
constexpr unsigned char kCts = 0x10;

// Binary and no go-ahead both ways; the option itself only on our side.
bool Accepted(bool ours, unsigned char option)
{
    return option == kBinary || option == kSga || (ours && option == kComPort);
}

void Count(int& n)
{
    if (n < INT_MAX)
        ++n;
}

// A subnegotiation of the option, each 0xFF of its value doubled.
void Sub(std::string& out, unsigned char code, std::string_view value)
{
    out += {char(IAC), char(SB), char(kComPort), char(code)};
    ComPortControl::AppendData(out, value);
    out += {char(IAC), char(SE)};
}

std::string BigEndian(uint32_t value, int width)
{
    std::string bytes;
    for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
        bytes += char(value >> shift & 0xFF);
    return bytes;
}

uint32_t ParityCode(Parity parity)
{
    switch (parity) {
    case Parity::None: return 1;
    case Parity::Odd: return 2;
    case Parity::Even: return 3;
    case Parity::Mark: return 4;
    case Parity::Space: return 5;
    }
    return 1;
}

uint32_t StopCode(StopBits stop)
{
    switch (stop) {
    case StopBits::One: return 1;
    case StopBits::Two: return 2;
    case StopBits::OnePointFive: return 3;
    }
    return 1;
}

uint32_t FlowCode(FlowControl flow)
{
    switch (flow) {
    case FlowControl::None: return 1;
    case FlowControl::Software: return 2;
    case FlowControl::Hardware: return 3;
    }
    return 1;
}

}  // namespace

uint32_t ComPortControl::WireValue(ServerSetting which, const LineSettings& line)
{
    switch (which) {
    case ServerSetting::BaudRate: return static_cast<uint32_t>(line.BaudRate);
    case ServerSetting::DataSize: return static_cast<uint32_t>(line.DataBits);
    case ServerSetting::Parity: return ParityCode(ParityOf(line));
    case ServerSetting::StopSize: return StopCode(line.Stop);
    case ServerSetting::Flow: return FlowCode(line.Flow);
    default: return 0;
    }
}

std::string ComPortControl::Describe(ServerSetting which, uint32_t value)
{
    switch (which) {
    case ServerSetting::BaudRate:
        return "the speed " + std::to_string(value) + " baud";
    case ServerSetting::DataSize:
        return std::to_string(value) + " data bits";
    case ServerSetting::Parity: {
        static const char* const names[] = {"?", "no parity", "odd parity", "even parity", "mark parity", "space parity"};
        return value < 6 ? names[value] : "parity " + std::to_string(value);
    }
    case ServerSetting::StopSize:
        return value == 1 ? "1 stop bit" : value == 2 ? "2 stop bits" : value == 3 ? "1.5 stop bits" : "stop size " + std::to_string(value);
    case ServerSetting::Flow:
        return value == 3 ? "hardware flow control (CTS/RTS)" : value == 2 ? "XON/XOFF flow control" : "no flow control";
    case ServerSetting::Dtr:
        return "DTR";
    case ServerSetting::Rts:
        return "RTS";
    case ServerSetting::Purge:
        return "the purge";
    }
    return "a setting";
}

std::string ComPortControl::Hello()
{
    std::string out;
    auto ask = [&](Side side, unsigned char option) {
        if (said_[side][option] == Yes)
            return;
        said_[side][option] = Wanted;
        out += {char(IAC), char(side == Mine ? WILL : DO), char(option)};
    };
    ask(Mine, kComPort);
    ask(Mine, kBinary);
    ask(His, kBinary);
    ask(Mine, kSga);
    ask(His, kSga);
    return out;
}

ComPortControl::Option ComPortControl::State() const { return option_; }

void ComPortControl::AppendData(std::string& out, std::string_view data)
{
    for (char c : data) {
        out += c;
        if (static_cast<unsigned char>(c) == IAC)
            out += c;
    }
}

void ComPortControl::Remember(ServerSetting which, uint32_t value) { asked_.push_back({which, value}); }

void ComPortControl::AskLine(std::string& out, const LineSettings& line)
{
    const auto baud = static_cast<uint32_t>(line.BaudRate);
    Sub(out, SetBaudRate, BigEndian(baud, 4));
    Remember(ServerSetting::BaudRate, baud);
    const auto bits = static_cast<uint32_t>(line.DataBits);
    Sub(out, SetDataSize, BigEndian(bits, 1));
    Remember(ServerSetting::DataSize, bits & 0xFF);
    Sub(out, SetParity, BigEndian(ParityCode(ParityOf(line)), 1));
    Remember(ServerSetting::Parity, ParityCode(ParityOf(line)));
    Sub(out, SetStopSize, BigEndian(StopCode(line.Stop), 1));
    Remember(ServerSetting::StopSize, StopCode(line.Stop));
}

void ComPortControl::AskFlow(std::string& out, FlowControl flow)
{
    Sub(out, SetControl, BigEndian(FlowCode(flow), 1));
    Remember(ServerSetting::Flow, FlowCode(flow));
}

void ComPortControl::AskDtr(std::string& out, bool on)
{
    const uint32_t code = on ? 8 : 9;
    Sub(out, SetControl, BigEndian(code, 1));
    Remember(ServerSetting::Dtr, code);
}

void ComPortControl::AskRts(std::string& out, bool on)
{
    const uint32_t code = on ? 11 : 12;
    Sub(out, SetControl, BigEndian(code, 1));
    Remember(ServerSetting::Rts, code);
}

void ComPortControl::AskPurge(std::string& out, bool input, bool output)
{
    const uint32_t code = (input ? 1 : 0) | (output ? 2 : 0);
    if (code == 0)
        return;
    Sub(out, PurgeData, BigEndian(code, 1));
    Remember(ServerSetting::Purge, code);
}

void ComPortControl::AskNotifications(std::string& out)
{
    Sub(out, SetLineStateMask, BigEndian(kOverrun | kParityError | kFraming | kBreak, 1));
    Sub(out, SetModemStateMask, BigEndian(kCts, 1));
}

void ComPortControl::Take(std::string_view in, std::string& data, std::string& reply)
{
    for (char c : in)
        Byte(static_cast<unsigned char>(c), data, reply);
}

void ComPortControl::Byte(unsigned char c, std::string& data, std::string& reply)
{
    switch (in_) {
    case In::CrSeen:
        in_ = In::Data;
        if (c == 0)
            return;  // the NUL that only makes CR a CR
        [[fallthrough]];
    case In::Data:
        if (c == IAC) {
            in_ = In::Iac;
            return;
        }
        data += char(c);
        if (c == CR && said_[His][kBinary] != Yes)
            in_ = In::CrSeen;
        return;
    case In::Iac:
        in_ = In::Data;
        switch (c) {
        case IAC: data += char(IAC); return;
        case DO: case DONT: case WILL: case WONT: verb_ = c; in_ = In::Verb; return;
        case SB: sb_.clear(); sbLength_ = 0; in_ = In::Sb; return;
        case NOP: case DM: case GA: return;  // nothing for a client to do
        default: nonsense_ += 2; return;
        }
    case In::Verb:
        in_ = In::Data;
        Command(verb_, c, reply);
        return;
    case In::Sb:
        if (c == IAC)
            in_ = In::SbIac;
        else
            Keep(c);
        return;
    case In::SbIac:
        if (c == IAC) {
            Keep(IAC);
            in_ = In::Sb;
            return;
        }
        if (c == SE) {
            in_ = In::Data;
            Subnegotiation(reply);
            return;
        }
        // Neither a doubled 0xFF nor the end: the subnegotiation was cut short by
        // a command, which counts as one.
        DropSub(0);
        in_ = In::Iac;
        Byte(c, data, reply);
        return;
    }
}

// Only the first bytes are kept; past the bound the rest is counted as it comes,
// so that a subnegotiation that never ends shows at once.
void ComPortControl::Keep(unsigned char c)
{
    ++sbLength_;
    if (sbLength_ <= kSubBound)
        sb_ += char(c);
    else if (sbLength_ == kSubBound + 1)
        nonsense_ += 2 + sbLength_;  // IAC SB and all so far
    else
        ++nonsense_;
}

void ComPortControl::DropSub(int64_t tail)
{
    if (sbLength_ <= kSubBound)
        nonsense_ += 2 + sbLength_;
    nonsense_ += tail;
}

bool ComPortControl::Change(Side side, unsigned char option, Said to)
{
    if (changes_[side][option] >= kChangesBound) {
        nonsense_ += 3;
        return false;
    }
    ++changes_[side][option];
    said_[side][option] = to;
    return true;
}

// RFC 1143 without the queue: this client never changes its mind, so a request is
// answered only where it changes what was said, and an answer to our own asking
// is not answered again.
void ComPortControl::Command(unsigned char verb, unsigned char option, std::string& reply)
{
    const Side side = verb == DO || verb == DONT ? Mine : His;
    const bool on = verb == DO || verb == WILL;
    const unsigned char yes = side == Mine ? WILL : DO, no = side == Mine ? WONT : DONT;
    const Said now = said_[side][option];
    if (on) {
        if (now == Wanted)
            Change(side, option, Yes);
        else if (now != Yes && Accepted(side == Mine, option)) {
            if (Change(side, option, Yes))
                reply += {char(IAC), char(yes), char(option)};
        } else if (now == No) {
            if (Change(side, option, Declined))
                reply += {char(IAC), char(no), char(option)};
        }
    } else if (now == Yes) {
        if (Change(side, option, Declined))
            reply += {char(IAC), char(no), char(option)};
    } else if (now == Wanted) {
        Change(side, option, Declined);
    }
    if (side == Mine && option == kComPort && said_[Mine][kComPort] != now)
        option_ = said_[Mine][kComPort] == Yes ? Option::Agreed : Option::Refused;
}

void ComPortControl::Answered(ServerSetting which, uint32_t value)
{
    const auto ask = std::find_if(asked_.begin(), asked_.end(), [&](const Asked& a) { return a.Which == which; });
    if (ask == asked_.end())
        return;  // the server's state, told on its own
    if (ask->Value != value)
        refusals_.push_back({which, ask->Value, value});
    asked_.erase(ask);
}

void ComPortControl::Subnegotiation(std::string& reply)
{
    if (sbLength_ > kSubBound || sb_.size() < 2 || static_cast<unsigned char>(sb_[0]) != kComPort) {
        DropSub(2);
        return;
    }
    const auto code = static_cast<unsigned char>(sb_[1]);
    const int command = code >= kFromServer ? code - kFromServer : -1;
    const std::string_view value = std::string_view(sb_).substr(2);
    if (value.size() == 1 && OneByte(command, static_cast<unsigned char>(value[0])))
        return;
    switch (command) {
    case Signature:
        if (!value.empty())
            return;  // the server's own: nothing to do with it
        if (signatures_ >= kSignaturesBound)
            break;
        ++signatures_;
        Sub(reply, Signature, kSignatureText);
        return;
    case SetBaudRate:
        if (value.size() != 4)
            break;
        Answered(ServerSetting::BaudRate, uint32_t(uint8_t(value[0])) << 24 | uint32_t(uint8_t(value[1])) << 16 |
                                              uint32_t(uint8_t(value[2])) << 8 | uint8_t(value[3]));
        return;
    case FlowControlSuspend: suspended_ = true; return;
    case FlowControlResume: suspended_ = false; return;
    case SetLineStateMask: case SetModemStateMask: return;  // nothing waits for these
    }
    DropSub(2);
}

// The server's answers and reports of one byte; false for any other command.
bool ComPortControl::OneByte(int command, unsigned char v)
{
    switch (command) {
    case SetDataSize: Answered(ServerSetting::DataSize, v); return true;
    case SetParity: Answered(ServerSetting::Parity, v); return true;
    case SetStopSize: Answered(ServerSetting::StopSize, v); return true;
    case PurgeData: Answered(ServerSetting::Purge, v); return true;
    case SetControl:
        // One command, three settings: the value tells which was answered.
        if (v >= 1 && v <= 3)
            Answered(ServerSetting::Flow, v);
        else if (v >= 7 && v <= 9)
            Answered(ServerSetting::Dtr, v);
        else if (v >= 10 && v <= 12)
            Answered(ServerSetting::Rts, v);
        return true;
    case NotifyLineState:
        if (v & kOverrun)
            Count(errors_.Overrun);
        if (v & kParityError)
            Count(errors_.Parity);
        if (v & kFraming)
            Count(errors_.Framing);
        if (v & kBreak)
            Count(errors_.Break);
        return true;
    case NotifyModemState: cts_ = (v & kCts) != 0; return true;
    }
    return false;
}

std::vector<ServerSetting> ComPortControl::Unanswered() const
{
    std::vector<ServerSetting> which;
    for (const Asked& a : asked_)
        which.push_back(a.Which);
    return which;
}

std::vector<ComPortControl::Answer> ComPortControl::TakeRefusals() { return std::exchange(refusals_, {}); }

std::optional<bool> ComPortControl::Cts() const { return cts_; }
bool ComPortControl::Suspended() const { return suspended_; }
LineErrors ComPortControl::Errors() const { return errors_; }
int64_t ComPortControl::Nonsense() const { return nonsense_; }

}  // namespace platform
