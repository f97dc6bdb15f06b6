#pragma once
// A serial port for tests. Every WriteStr and TransmitChar is kept as its own
// string in Writes, so a reply sent as five one-byte writes cannot pass for one
// write of five bytes. Calls that change the port are logged in Ops, in order.
// Received bytes are injected in events of any size with Receive().

#include <algorithm>
#include <deque>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "platform/serial/SerialPort.h"

class FakeSerialPort : public platform::SerialPort {
public:
    std::vector<std::string> Writes;
    std::vector<std::string> Ops;
    std::deque<char> Input;
    std::set<std::string> FailingNames;  // Open throws for these names
    bool Opened = false;
    std::string Name = "COM";
    platform::LineSettings Line;
    int SetupDialogs = 0, Chars = 0;  // Chars: writes made with TransmitChar
    std::string NameChosenInSetup;  // ShowSetupDialog sets the name when non-empty

    // Queues bytes and raises the characters-received event for them.
    void Receive(const std::string& bytes)
    {
        Input.insert(Input.end(), bytes.begin(), bytes.end());
        if (OnRxChar)
            OnRxChar(static_cast<int>(Input.size()));
    }

    // All bytes written so far, write boundaries dropped.
    std::string Sent() const { return std::accumulate(Writes.begin(), Writes.end(), std::string()); }

    void SetPort(const std::string& name) override { Ops.push_back("SetPort " + (Name = name)); }
    std::string Port() const override { return Name; }
    void Open() override
    {
        if (Opened)
            return;  // as the real component: an open port stays as it is
        Ops.push_back("Open " + Name);
        if (FailingNames.count(Name))
            throw platform::EComPort("cannot open " + Name);
        Opened = true;
    }
    void Close() override
    {
        Ops.push_back("Close");
        Opened = false;
    }
    bool Connected() const override { return Opened; }
    void SetBaudRate(int baud) override { Ops.push_back("BaudRate " + std::to_string(Line.BaudRate = baud)); }
    void SetDataBits(int bits) override { Ops.push_back("DataBits " + std::to_string(Line.DataBits = bits)); }
    void SetStopBits(platform::StopBits s) override { Ops.push_back((Line.Stop = s) == platform::StopBits::One ? "StopBits 1" : "StopBits other"); }
    void SetParityCheck(bool on) override { Ops.push_back((Line.ParityCheck = on) ? "ParityCheck on" : "ParityCheck off"); }
    void SetDtrControl(platform::DtrControl c) override
    {
        Ops.push_back((Line.Dtr = c) == platform::DtrControl::Enable ? "DtrControl enable" : "DtrControl other");
    }
    void SetDTR(bool on) override { Ops.push_back(on ? "DTR on" : "DTR off"); }
    void SetRTS(bool on) override { Ops.push_back(on ? "RTS on" : "RTS off"); }
    platform::LineSettings Settings() const override { return Line; }
    void ShowSetupDialog() override
    {
        ++SetupDialogs;
        if (!NameChosenInSetup.empty())
            Name = NameChosenInSetup;
    }
    int ReadStr(std::string& s, int count) override
    {
        int n = 0;
        while (n < count && !Input.empty()) {
            s.push_back(Input.front());
            Input.pop_front();
            ++n;
        }
        return n;
    }
    void WriteStr(const std::string& s) override { Writes.push_back(s); }
    void TransmitChar(char c) override { ++Chars, Writes.push_back(std::string(1, c)); }
    void ClearBuffer(bool input, bool) override
    {
        Ops.push_back("ClearBuffer");
        if (input)
            Input.clear();
    }
};
