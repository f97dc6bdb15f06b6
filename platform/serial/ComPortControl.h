#pragma once
// The client's side of a serial port served over Telnet with the Com Port
// Control Option: data with 0xFF doubled both ways, the line's settings asked of
// the server and what it answers, the modem and line states it reports. Plain
// C++, bytes in and bytes out; the connection itself is the network port's.
//
// A server may send anything: what makes no sense is counted and dropped, a
// subnegotiation is kept to a small bound, and an option is answered only when
// its state changes (and only so often, as the signature is said), so no input
// grows memory or the replies without bound.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/serial/SerialPort.h"

namespace platform {

// What is asked of the server, one kind per answer it gives.
enum class ServerSetting { BaudRate, DataSize, Parity, StopSize, Flow, Dtr, Rts, Purge };

class ComPortControl {
public:
    // The option as the server has answered it so far.
    enum class Option { Asked, Agreed, Refused };

    // Bytes that open the conversation: the option asked for, binary both ways.
    std::string Hello();
    Option State() const;

    // Data for the device, as it goes on the connection (0xFF doubled).
    static void AppendData(std::string& out, std::string_view data);
    // A setting of line as asked on the wire (0 for those not in LineSettings).
    static uint32_t WireValue(ServerSetting which, const LineSettings& line);
    // A setting's wire value in words ("the speed 4800 baud", "1.5 stop bits").
    static std::string Describe(ServerSetting which, uint32_t value);

    // The bytes asking for each setting, appended to out; each is remembered until
    // the server answers it.
    void AskLine(std::string& out, const LineSettings& line);  // speed, size, parity, stop
    void AskFlow(std::string& out, FlowControl flow);
    void AskDtr(std::string& out, bool on);
    void AskRts(std::string& out, bool on);
    void AskPurge(std::string& out, bool input, bool output);
    // The line and modem states the server is to report: line errors and CTS.
    void AskNotifications(std::string& out);

    // Takes bytes from the server: data from the device is appended to data, what
    // the conversation needs said back (option answers, a signature) to reply.
    void Take(std::string_view in, std::string& data, std::string& reply);

    // Settings asked and not answered yet, in the order asked.
    std::vector<ServerSetting> Unanswered() const;
    // Settings the server answered with another value than asked, each once.
    struct Answer {
        ServerSetting Which;
        uint32_t Asked, Got;  // as on the wire: the baud, the bits, the option's codes
    };
    std::vector<Answer> TakeRefusals();

    // CTS as last reported; none until the server reports the modem lines.
    std::optional<bool> Cts() const;
    // The server asked that nothing more be sent until it says so.
    bool Suspended() const;
    // Line errors the server reported, counted by kind since the start.
    LineErrors Errors() const;
    // Bytes of the server's that made no sense (an unknown command, an overlong
    // subnegotiation), counted since the start.
    int64_t Nonsense() const;

private:
    struct Asked {
        ServerSetting Which;
        uint32_t Value;
    };
    // What one side has said of an option. Declined: off, and we said so.
    enum Said : uint8_t { No, Yes, Wanted, Declined };
    enum Side { Mine, His };

    void Remember(ServerSetting which, uint32_t value);
    void Byte(unsigned char c, std::string& data, std::string& reply);
    void Keep(unsigned char c);
    void Subnegotiation(std::string& reply);
    bool OneByte(int command, unsigned char value);
    void Answered(ServerSetting which, uint32_t value);
    void Command(unsigned char verb, unsigned char option, std::string& reply);
    bool Change(Side side, unsigned char option, Said to);
    void DropSub(int64_t framing);

    enum class In { Data, CrSeen, Iac, Verb, Sb, SbIac };
    In in_ = In::Data;
    unsigned char verb_ = 0;
    std::string sb_;        // up to its bound; longer ones only counted
    int64_t sbLength_ = 0;  // the subnegotiation's length so far
    Option option_ = Option::Asked;
    // Per option, what each side has said, and how often it changed: so that only
    // a change is answered, and a server that flips an option forever is heard
    // only so many times.
    Said said_[2][256] = {};
    uint8_t changes_[2][256] = {};
    int signatures_ = 0;
    std::vector<Asked> asked_;
    std::vector<Answer> refusals_;
    std::optional<bool> cts_;
    bool suspended_ = false;
    LineErrors errors_;
    int64_t nonsense_ = 0;
};

}  // namespace platform
