// The network port against device servers of its own making: what a server says
// of the line, its modem lines and its errors, and servers that fail.

#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>
#include <functional>

#include "platform/serial/NetworkTransport.h"
#include "platform/serial/PortNames.h"
#include "tests/support/Until.h"

using namespace platform;
using namespace std::string_literals;

namespace {

constexpr char IAC = '\xFF', SB = '\xFA', SE = '\xF0', DO = '\xFD', DONT = '\xFE';
std::string Sb(std::string body) { return std::string{IAC, SB, 44} + body + std::string{IAC, SE}; }

// A device server: answers each of the client's RFC 2217 settings through
// answer(code, value), which gives the answer's value or nothing.
struct Server {
    using Answer = std::function<std::optional<std::string>(char code, const std::string& value)>;
    QTcpServer listener;
    QTcpSocket* client = nullptr;
    std::string heard, greeting;
    Answer answer;

    explicit Server(std::string greet, Answer a) : greeting(std::move(greet)), answer(std::move(a))
    {
        listener.listen(QHostAddress::LocalHost);
        QObject::connect(&listener, &QTcpServer::newConnection, [this] {
            client = listener.nextPendingConnection();
            client->write(greeting.data(), static_cast<qint64>(greeting.size()));
            QObject::connect(client, &QTcpSocket::readyRead, [this] { Hear(); });
        });
    }
    std::string Url(const char* scheme = "rfc2217") const
    {
        return std::string(scheme) + "://127.0.0.1:" + std::to_string(listener.serverPort());
    }
    void Say(const std::string& bytes) { client->write(bytes.data(), static_cast<qint64>(bytes.size())); }
    void Hear()
    {
        heard += client->readAll().toStdString();
        for (size_t at; (at = heard.find(std::string{IAC, SB, 44})) != std::string::npos;) {
            const size_t end = heard.find(std::string{IAC, SE}, at);
            if (end == std::string::npos)
                return;
            const char code = heard[at + 3];
            std::string value = heard.substr(at + 4, end - at - 4);
            heard.erase(0, end + 2);
            if (auto a = answer(code, value))
                Say(Sb(std::string(1, static_cast<char>(code + 100)) + *a));
        }
    }
};

// Every setting confirmed as asked, DTR and RTS too.
std::optional<std::string> Echo(char, const std::string& v) { return v; }
// As a server of a line without modem lines: DTR and RTS never answered.
std::optional<std::string> NoModemLines(char code, const std::string& v)
{
    return code == 5 && v.size() == 1 && v[0] >= 7 && v[0] <= 12 ? std::nullopt : std::optional(v);
}
const std::string kAgrees{IAC, DO, 44};

struct Opened {
    std::unique_ptr<SerialTransport> port = MakeNetworkTransport(std::chrono::milliseconds(400));
    std::string notes, lost;
    int err = -1;
    explicit Opened(const std::string& url)
    {
        port->OnNote = [this](const std::string& n) { notes += n; };
        port->OnLost = [this](const std::string& why) { lost = why; };
        err = port->Open(url, kDeviceLine, true, true);
    }
};

}  // namespace

TEST(NetworkPort, WhatTheServerSaysOfTheLineDecidesTheOpen)
{
    const struct {
        const char* what;
        std::string greeting;
        Server::Answer answer;
        std::string failure;  // after the URL and ": "; empty: it opens
    } cases[] = {
        {"silent", "", Echo,
         "the device server did not take up control of the serial line (RFC 2217) within 0.4 s; for a raw TCP port "
         "write socket://"},
        {"refusing", {IAC, DONT, 44}, Echo,
         "the device server refuses control of the serial line (RFC 2217); for a raw TCP port write socket://"},
        {"another speed", kAgrees,
         [](char code, const std::string& v) { return code == 1 ? std::optional(std::string("\0\0\x25\x80", 4)) : std::optional(v); },
         "the device server refused the speed 4800 baud (it set the speed 9600 baud)"},
        {"no answer on flow", kAgrees,
         [](char code, const std::string& v) { return code == 5 && v == "\x03" ? std::nullopt : std::optional(v); },
         "the device server did not confirm the line's settings (hardware flow control (CTS/RTS)) within 0.4 s"},
        {"all confirmed", kAgrees, Echo, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Server server(c.greeting, c.answer);
        Opened open(server.Url());
        EXPECT_EQ(open.port->TakeFailure(), c.failure.empty() ? "" : server.Url() + ": " + c.failure);
        EXPECT_EQ(open.port->IsOpen(), c.failure.empty());
        EXPECT_EQ(open.err == 0, c.failure.empty());
    }
}

// CTS holds the line only where the server drives the modem lines; its line
// errors count as a cable's; its closing, or endless nonsense, is the device
// lost, with why.
TEST(NetworkPort, ModemLinesLineErrorsAndALostServer)
{
    for (const bool modemLines : {true, false}) {
        SCOPED_TRACE(modemLines ? "modem lines" : "none");
        Server server(kAgrees, modemLines ? Server::Answer(Echo) : Server::Answer(NoModemLines));
        Opened open(server.Url());
        ASSERT_EQ(open.err, 0) << open.port->TakeFailure();
        server.Say(Sb("\x6b\x00"s) + "a\xFF\xFF" + Sb("\x6a\x08"));  // CTS low, a framing error
        ASSERT_TRUE(Until([&] { return open.port->BytesAvailable() == 2; }));
        char got[2];
        EXPECT_EQ(std::string(got, static_cast<size_t>(open.port->Read(got, 2))), "a\xFF");
        open.port->Write("b\xFF", 2);
        ASSERT_TRUE(Until([&] { return server.heard.find("b\xFF\xFF") != std::string::npos; }));
        EXPECT_EQ(open.port->LineHolds(), modemLines);
        EXPECT_EQ(open.port->LineErrorsSeen().Framing, 1);
        ASSERT_TRUE(Until([&] { return !open.notes.empty() || modemLines; }));
        EXPECT_EQ(open.notes.empty(), modemLines) << open.notes;
        server.Say(Sb("\x6b\x10"));
        ASSERT_TRUE(Until([&] { return !open.port->LineHolds(); }));
        if (modemLines)
            server.client->close();
        else  // a subnegotiation without end
            server.Say(std::string{IAC, SB, 44, 99} + std::string(5000, 'x'));
        ASSERT_TRUE(Until([&] { return !open.lost.empty(); }));
        EXPECT_EQ(open.lost, modemLines ? "the device server closed the connection"
                                        : "the device server sends what is not Telnet with the serial port control "
                                          "(RFC 2217)");
    }
}

// (A server not running is serbox-cli's case.)
TEST(NetworkPort, AHostThatResolvesToNothingIsToldByName)
{
    Opened open("socket://no-such-host.invalid:2000");
    EXPECT_EQ(open.port->TakeFailure(),
              "socket://no-such-host.invalid:2000: no host of that name is known (the name resolves to nothing)");
}

TEST(NetworkPortName, SchemeHostAndPort)
{
    const struct {
        const char* name;
        bool rfc2217;
        const char* host;
        int port;
    } good[] = {{"rfc2217://plant-7.local:2217", true, "plant-7.local", 2217},
                {"socket://10.0.0.5:4001", false, "10.0.0.5", 4001},
                {"socket://[fe80::1]:65535", false, "fe80::1", 65535}};
    for (const auto& c : good) {
        NetworkPortName n;
        EXPECT_EQ(ParseNetworkPortName(c.name, n), "") << c.name;
        EXPECT_EQ(std::tuple(n.Rfc2217, n.Host, int(n.Port)), std::tuple(c.rfc2217, std::string(c.host), c.port));
    }
    for (const char* bad : {"socket://host", "socket://host:0", "socket://host:65536", "socket://host:20x",
                            "rfc2217://:2217", "rfc2217://a b:2217", "socket://[fe80::1]2000", "telnet://host:23"}) {
        NetworkPortName n;
        EXPECT_NE(ParseNetworkPortName(bad, n), "") << bad;
    }
    EXPECT_FALSE(IsNetworkPortName("/dev/ttyUSB0"));
}
