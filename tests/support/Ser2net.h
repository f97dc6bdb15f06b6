#pragma once
// Debian's ser2net on 127.0.0.1 serving one device path, as a device server in a
// plant does: one TCP port over Telnet with the Com Port Control Option, one raw.
// Needs a QCoreApplication.

#include <QTcpServer>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/Process.h"

class Ser2net : public Child {
public:
    uint16_t rfc2217 = 0, raw = 0;

    Ser2net(const std::string& device, const std::filesystem::path& dir)
    {
        QTcpServer a, b;  // both held at once: two distinct free ports
        a.listen(QHostAddress::LocalHost);
        b.listen(QHostAddress::LocalHost);
        rfc2217 = a.serverPort();
        raw = b.serverPort();
        a.close();
        b.close();
        const std::filesystem::path config = dir / "ser2net.yaml";
        std::ofstream(config) << "%YAML 1.1\n---\n"
                              << Connection("rfc", "telnet(rfc2217),tcp,127.0.0.1," + std::to_string(rfc2217), device)
                              << Connection("raw", "tcp,127.0.0.1," + std::to_string(raw), device);
        setProcessChannelMode(MergedChannels);
        Start({SER2NET, "-n", "-c", QString::fromStdString(config.string()), "-P",
               QString::fromStdString((dir / "ser2net.pid").string())});
        Until([&] { return state() == NotRunning || (Listening(rfc2217) && Listening(raw)); });
    }
    bool Up() { return state() == Running && Listening(rfc2217) && Listening(raw); }
    std::string Rfc2217Url() const { return "rfc2217://127.0.0.1:" + std::to_string(rfc2217); }
    std::string RawUrl() const { return "socket://127.0.0.1:" + std::to_string(raw); }

private:
    static std::string Connection(const std::string& name, const std::string& accepter, const std::string& device)
    {
        // No waiting for more characters before sending: each poll goes at once.
        return "connection: &" + name + "\n  accepter: " + accepter + "\n  connector: serialdev," + device +
               ",4800n81,local\n  options:\n    chardelay: false\n";
    }
    // From the kernel's table: a listening socket on 127.0.0.1:port.
    static bool Listening(uint16_t port)
    {
        std::ifstream table("/proc/net/tcp");
        std::string line;
        std::ostringstream want;
        want << "0100007F:" << std::uppercase << std::hex;
        want.width(4);
        want.fill('0');
        want << port;
        while (std::getline(table, line))
            if (line.find(want.str() + " 00000000:0000 0A") != std::string::npos)
                return true;
        return false;
    }
};
