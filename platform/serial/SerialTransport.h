#pragma once
// What the serial component (SerialComponent.cpp) asks of the system's port; the
// output-empty emulation, the staged reads, the bindings and the setup dialog
// are the component's own and the same everywhere. Per system:
// QtSerialPortTransport.cpp (Linux) and Win32Transport.cpp (the Win32
// communications API; Qt Serial Port is not built for Windows here).
//
// Every call returns at once, or within a bound where the driver must give back
// a cancelled request (Close, a read cut short). Open waits at most 5 s, turning
// the event loop without user input once it is slow (SlowOpen.h): from inside
// that wait another Open is refused and Close cuts it. The two events come from
// the event loop, never from inside a call, except that OnLost may come from
// inside TakeMore.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/serial/SerialPort.h"

namespace platform {

class SerialTransport {
public:
    virtual ~SerialTransport() = default;

    // 0, or the errno value that ExplainOpenFailure turns into words. The line,
    // DTR and RTS are set as the open's last step (on Windows one device state,
    // applied once); a setting the driver refuses fails the open.
    virtual int Open(const std::string& device, const LineSettings& line, bool dtr, bool rts) = 0;
    virtual void Close() = 0;  // also forgets a failure it had reported
    virtual bool IsOpen() const = 0;

    virtual void SetBaudRate(int baud) = 0;
    virtual void SetDataBits(int bits) = 0;
    virtual void SetStopBits(StopBits stop) = 0;
    virtual void SetParity(Parity parity) = 0;
    virtual void SetFlowControl(FlowControl flow) = 0;
    // A line that the device (or a pseudo-terminal) cannot set is left as it is.
    virtual void SetDTR(bool on) = 0;
    virtual void SetRTS(bool on) = 0;  // ignored while RTS is the handshake line
    // The port works: forget the errors setting it left, and the bytes that came
    // before the line was set (at the previous owner's settings, or while they
    // changed), where a port has such bytes.
    virtual void Settle() = 0;

    // Received bytes waiting, at most the read buffer; Read takes up to max of them.
    virtual int64_t BytesAvailable() const = 0;
    virtual int64_t Read(char* data, int64_t max) = 0;
    // Takes in, without waiting, what has arrived since; false when nothing had.
    virtual bool TakeMore() = 0;
    virtual void Write(const char* data, int64_t size) = 0;
    // Written bytes still in the component's or the driver's hands.
    virtual bool OutputPending() = 0;
    virtual void Clear(bool input, bool output) = 0;
    // The line holds back what is written: CTS low under hardware flow control,
    // whatever the driver's queue says (a USB adapter's chip holds bytes the
    // driver counts as sent).
    virtual bool LineHolds() = 0;
    // Counted since Open, where the driver reports them.
    virtual LineErrors LineErrorsSeen() = 0;
    // Why the open failed, or which setting the driver refused since it, in words
    // a technician can act on, once; empty when nothing failed or the errno Open
    // returned says it all.
    virtual std::string TakeFailure() = 0;

    std::function<void()> OnReadyRead;                 // bytes arrived
    // The device went: why in words (a server that closed the connection), or
    // empty where the port cannot tell.
    std::function<void(const std::string& why)> OnLost;
    // Open waits on something slow (a port whose driver answers late, a server
    // across the network): what it waits for, in words a technician can act on,
    // then empty when the wait is over. Called from inside Open.
    std::function<void(const std::string& what)> OnWaiting;
    // What the port ignored of the line's settings and what follows for the user,
    // once after an open that goes ahead without it.
    std::function<void(const std::string& what)> OnNote;
};

// Limit of the received bytes held: a flood from the line must not grow memory.
constexpr int64_t kSerialReadBuffer = 16384;

// MakeSerialTransport() (System.h) gives the system's own.

}  // namespace platform
