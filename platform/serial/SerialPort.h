#pragma once
// The serial port component as the protocol code sees it.
//
// The protocol (link/, receive/, transmit/) drives exactly one instance, ComPort1,
// through this interface: it names the port, opens it (Open throws EComPort on
// failure, which callers catch), applies line settings, reads what arrived and
// writes byte strings. The component raises two events on the user-interface
// thread: OnRxChar(count) when received bytes wait to be read, and OnTxEmpty when
// everything written so far has left the output queue. Both are delivered after the
// handler that caused them has returned, never from inside a call made on the port.
//
// The real component is SerialComponent (Qt Serial Port on Linux, the Win32
// communications API on Windows); tests use
// tests/fakes/FakeSerialPort.h, which records each write as its own string.

#include <functional>
#include <stdexcept>
#include <string>

namespace platform {

// Raised by Open (and by anything else the component cannot do).
class EComPort : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class StopBits { One, OnePointFive, Two };
enum class Parity { None, Odd, Even, Mark, Space };
enum class DtrControl { Disable, Enable, Handshake };
enum class FlowControl { None, Hardware, Software };

// Start settings of the component, and what the port setup dialog edits. The
// defaults are the devices' line: 4800 baud, 8 data bits, 1 stop bit, no parity.
struct LineSettings {
    int BaudRate = 4800;
    int DataBits = 8;
    StopBits Stop = StopBits::One;
    Parity ParityBits = Parity::None;
    bool ParityCheck = false;
    DtrControl Dtr = DtrControl::Enable;
    FlowControl Flow = FlowControl::Hardware;  // output flow by CTS, RTS handshake
};

inline constexpr LineSettings kDeviceLine{};

// The parity the line carries: the chosen one only while parity is checked.
constexpr Parity ParityOf(const LineSettings& line) { return line.ParityCheck ? line.ParityBits : Parity::None; }

// Bytes the line damaged since the port opened, by kind: a wrong speed or format
// (framing, parity), bytes the port had no room for (overrun), a break.
struct LineErrors {
    int Framing = 0, Parity = 0, Overrun = 0, Break = 0;
    int Total() const { return Framing + Parity + Overrun + Break; }
};

// Under hardware flow control RTS is the handshake line: nothing else drives it.
constexpr bool DrivesRts(FlowControl flow) { return flow != FlowControl::Hardware; }

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Used by the next Open; set only while the port is closed.
    virtual void SetPort(const std::string& name) = 0;
    virtual std::string Port() const = 0;

    virtual void Open() = 0;  // throws EComPort
    virtual void Close() = 0; // harmless when closed
    virtual bool Connected() const = 0;

    // Applied at once to an open port; kept for the next Open otherwise.
    virtual void SetBaudRate(int baud) = 0;
    virtual void SetDataBits(int bits) = 0;
    virtual void SetStopBits(StopBits stop) = 0;
    virtual void SetParityCheck(bool on) = 0;
    virtual void SetDtrControl(DtrControl control) = 0;
    virtual void SetDTR(bool on) = 0;
    virtual void SetRTS(bool on) = 0;
    virtual LineSettings Settings() const = 0;

    // Modal: returns when the user closes it, whatever the choice.
    virtual void ShowSetupDialog() = 0;

    // Appends up to count received bytes to s, in arrival order; returns how many.
    virtual int ReadStr(std::string& s, int count) = 0;
    // Sends every byte of s, in order, as one write.
    virtual void WriteStr(const std::string& s) = 0;
    virtual void TransmitChar(char c) = 0;
    virtual void ClearBuffer(bool input, bool output) = 0;
    // Counted from the last Open; none where the port cannot tell.
    virtual LineErrors LineErrorsSeen() { return {}; }

    std::function<void(int count)> OnRxChar;
    std::function<void()> OnTxEmpty;
    // Written bytes have waited about a second on the line (CTS low under
    // hardware flow control): true then, false once they move again.
    std::function<void(bool held)> OnLineHeld;
    // More line errors have come (the totals so far).
    std::function<void(const LineErrors& seen)> OnLineErrors;
};

// Every port choice gives the port the devices' line, DTR and RTS raised.
inline void ApplyDeviceLine(SerialPort& port)
{
    port.SetBaudRate(kDeviceLine.BaudRate);
    port.SetDataBits(kDeviceLine.DataBits);
    port.SetStopBits(kDeviceLine.Stop);
    port.SetParityCheck(kDeviceLine.ParityCheck);
    port.SetDtrControl(kDeviceLine.Dtr);
    port.SetDTR(true);
    port.SetRTS(true);
}

}  // namespace platform
