// Reply latency: from the moment the device has written the last byte of a poll
// ESC "I" to the moment it has read the fifth byte of the reply. Measured for
// serbox (its real window and serial component on a pseudo-terminal, the event
// loop on the main thread) and, in the same run, for a minimal poll() loop on a
// second pseudo-terminal: the floor that the line itself costs. Then for serbox
// behind a device server (Debian's ser2net on 127.0.0.1, serving the pseudo-
// terminal), over Telnet with the port control and over raw TCP.

#include <QTemporaryDir>
#include <cstdio>
#include <thread>

#include "bench/Benchmarks.h"
#include "bench/Common.h"
#include "bench/Shell.h"
#include "tests/support/Ser2net.h"

namespace bench {

namespace {

std::vector<double> Measure(const Pty& line, int polls)
{
    const std::string reply("\x1B\x41\x42\x40\x42", 5);
    line.Send("\x1B" "A");
    std::vector<double> us;
    for (int i = -50; i < polls; ++i) {  // the first 50 warm up
        line.Send("\x1B" "I");
        const auto sent = Clock::now();
        const std::string got = line.Read(5, 2000);
        const auto answered = Clock::now();
        if (got != reply)
            throw std::runtime_error("poll " + std::to_string(i + 50) + " got a wrong or no reply");
        if (i >= 0)
            us.push_back(Micros(answered - sent));
    }
    return us;
}

void Print(const char* who, const std::vector<double>& us)
{
    std::printf("  %-22s median %8.1f us   p99 %8.1f us   max %8.1f us\n", who, Percentile(us, 0.5),
                Percentile(us, 0.99), Percentile(us, 1.0));
}

}  // namespace

void Latency(int polls)
{
    std::printf("reply latency, %d polls each (poll written -> 5-byte reply read)\n", polls);
    std::vector<double> serbox, floor;
    {
        Pty line;
        Shell shell(line.path);
        RunBeside([&] { serbox = Measure(line, polls); });
    }
    {
        Pty line;
        std::atomic<bool> stop{false};
        std::thread pc([&] { AnswerPolls(line.path, stop); });
        floor = Measure(line, polls);
        stop = true;
        pc.join();
    }
    Print("serbox", serbox);
    Print("poll() loop (floor)", floor);
    std::printf("  ratio serbox/floor     median %.2f        p99 %.2f\n",
                Percentile(serbox, 0.5) / Percentile(floor, 0.5), Percentile(serbox, 0.99) / Percentile(floor, 0.99));
    for (const bool telnet : {true, false}) {
        Pty line;
        QTemporaryDir dir;
        Ser2net server(line.path, dir.path().toStdString());
        if (!server.Up()) {
            std::printf("  (no ser2net: %s)\n", server.readAll().toStdString().c_str());
            return;
        }
        std::vector<double> us;
        {
            Shell shell(telnet ? server.Rfc2217Url() : server.RawUrl());
            // The server forwards nothing of the line until serbox has connected.
            RunBeside([&] { us = Measure(line, polls); });
        }
        Print(telnet ? "serbox via ser2net 2217" : "serbox via ser2net raw", us);
    }
}

}  // namespace bench
