#pragma once
// A serial port for tests. Every WriteStr and TransmitChar is kept as its own
// string in Writes, so a reply sent as five one-byte writes cannot pass for one
// write of five bytes. Received bytes are injected in events of any size with
// Receive().

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
    std::deque<char> Input;
    std::set<std::string> FailingNames;  // Open throws for these names
    bool Opened = false, Dtr = false, Rts = false;
    std::string Name = "COM", OpenName;  // OpenName: the name the port was last opened under
    platform::LineSettings Line;
    int SetupDialogs = 0, Chars = 0, Opens = 0, Clears = 0;  // Chars: writes made with TransmitChar
    std::string NameChosenInSetup;  // ShowSetupDialog sets the name when non-empty
    platform::LineErrors Errors;    // what the line damaged since the port opened

    // Queues bytes and raises the characters-received event for them.
    void Receive(const std::string& bytes)
    {
        Input.insert(Input.end(), bytes.begin(), bytes.end());
        if (OnRxChar)
            OnRxChar(static_cast<int>(Input.size()));
    }

    // All bytes written so far, write boundaries dropped.
    std::string Sent() const { return std::accumulate(Writes.begin(), Writes.end(), std::string()); }

    void SetPort(const std::string& name) override { Name = name; }
    std::string Port() const override { return Name; }
    void Open() override
    {
        if (Opened)
            return;  // as the real component: an open port stays as it is
        ++Opens;
        if (FailingNames.count(Name))
            throw platform::EComPort("cannot open " + Name);
        Opened = true;
        OpenName = Name;
    }
    void Close() override { Opened = false; }
    bool Connected() const override { return Opened; }
    void SetBaudRate(int baud) override { Line.BaudRate = baud; }
    void SetDataBits(int bits) override { Line.DataBits = bits; }
    void SetStopBits(platform::StopBits s) override { Line.Stop = s; }
    void SetParityCheck(bool on) override { Line.ParityCheck = on; }
    void SetDtrControl(platform::DtrControl c) override { Line.Dtr = c; }
    void SetDTR(bool on) override { Dtr = on; }
    void SetRTS(bool on) override { Rts = on; }
    platform::LineSettings Settings() const override { return Line; }
    void ShowSetupDialog() override
    {
        ++SetupDialogs;
        if (!NameChosenInSetup.empty())
            Name = NameChosenInSetup;
    }
    int ReadStr(std::string& s, int count) override
    {
        const auto n = std::min<size_t>(std::max(count, 0), Input.size());
        s.append(Input.begin(), Input.begin() + n);
        Input.erase(Input.begin(), Input.begin() + n);
        return static_cast<int>(n);
    }
    void WriteStr(const std::string& s) override { Writes.push_back(s); }
    platform::LineErrors LineErrorsSeen() override { return Errors; }
    void TransmitChar(char c) override { ++Chars, Writes.push_back(std::string(1, c)); }
    void ClearBuffer(bool input, bool) override
    {
        ++Clears;
        if (input)
            Input.clear();
    }
};
