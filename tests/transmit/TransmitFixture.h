#pragma once
// A stored set, a device that talks through the fake port, and a log of every
// write with the event (and tick number) that made it.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>

#include "link/Watchdog.h"
#include "receive/Dispatcher.h"
#include "tests/fakes/FakeForm1.h"
#include "tests/support/Header.h"
#include "transmit/Pacing.h"
#include "transmit/Transmission.h"

struct Transmit : ::testing::Test, FakeProgram {
    std::string Log;
    size_t Logged = 0;
    int Ticks1 = 0, Ticks2 = 0;

    void Store(const std::string& hdr, const std::string& src)
    {
        F.Files.Files["/d/P.TXT"] = "listing";
        F.Files.Files["/d/P.hdr"] = hdr;
        F.Files.Files["/d/P.src"] = src;
        FileOut("/d/P.TXT");
    }
    // The device's request, then the whole set: header paced, text section asked for.
    void Request() { Device("\x1B" "A" "\x1B" "Z"); }
    void SendAll()
    {
        Request();
        PaceHeader();
        Device("\x1B" "V");
    }
    std::tuple<std::string, std::string, std::string> OutgoingSet() const { return {S.TxFileName, S.TxHdrPath, S.TxSrcPath}; }
    static std::string Hex(const std::string& bytes)
    {
        std::string out;
        for (size_t i = 0; i < bytes.size(); ++i) {
            char h[4];
            std::snprintf(h, sizeof h, "%02X", static_cast<unsigned char>(bytes[i]));
            out += (i == 0 ? "" : i % 32 ? " " : "\n     ") + std::string(h);
        }
        return out;
    }
    void Note(const std::string& event)
    {
        Log += event + "\n";
        for (; Logged < F.ComPort1.Writes.size(); ++Logged)
            Log += "  PC " + Hex(F.ComPort1.Writes[Logged]) + "\n";
    }
    void Device(const std::string& bytes)
    {
        F.ComPort1.Receive(bytes);
        Note("device " + Hex(bytes));
    }
    // One Timer2 tick, after the last write has drained when drained is true.
    void Tick2(bool drained = true)
    {
        if (drained)
            ComPort1TxEmpty(S);
        Timer2Timer(S, C);
        Note((drained ? "drained, Timer2 #" : "Timer2 #") + std::to_string(++Ticks2));
    }
    void Tick1()
    {
        Timer1Timer(S, C);
        Note("Timer1 #" + std::to_string(++Ticks1));
    }
    // Drained ticks until the pacing ends, logged as one entry: each tick but the
    // last sends exactly one byte. The number of ticks it took.
    int PaceHeader()
    {
        const size_t from = F.ComPort1.Writes.size();
        int n = 0;
        for (; S.HdrSendActive == 1 && n < 1000; ++n) {
            ComPort1TxEmpty(S);
            Timer2Timer(S, C);
            ++Ticks2;
        }
        std::string paced;
        for (size_t i = from; i < F.ComPort1.Writes.size(); ++i) {
            EXPECT_EQ(F.ComPort1.Writes[i].size(), 1u) << "one header byte a tick";
            paced += F.ComPort1.Writes[i];
        }
        EXPECT_EQ(F.ComPort1.Writes.size() - from, static_cast<size_t>(n - 1));
        Logged = F.ComPort1.Writes.size();
        Log += "drained, Timer2 x" + std::to_string(n) + ", one byte each but the last\n  PC " + Hex(paced) + "\n";
        return n;
    }
};
