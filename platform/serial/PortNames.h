#pragma once
// The port names COM1..COM4 and the device each stands for. Plain C++ so that the
// bindings are tested without a port; what differs per system is in System.h.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

struct DetectedPort {
    DetectedPort() = default;
    DetectedPort(std::string device, std::string description = {}, std::string manufacturer = {},
                 std::string serialNumber = {})
        : Device(std::move(device)), Description(std::move(description)), Manufacturer(std::move(manufacturer)),
          SerialNumber(std::move(serialNumber))
    {
    }
    std::string Device;  // e.g. /dev/ttyUSB0, COM5
    // What the system calls it ("USB Serial Port (COM5)"; on Linux the adapter's model).
    std::string Description, Manufacturer, SerialNumber;
    std::string StableName;  // its link in the stable names' folder, when it has one
    bool InUse = false;      // the system says a program has it open
};

// The menu's ports, COM1 to COM4: the one place their names are built and read.
constexpr int kMenuPorts = 4;
std::string ComPortName(int n);              // "COM<n>"
int ComPortNumber(std::string_view name);    // 1..4 for "COM1".."COM4", else 0
// The component's name before any choice: it names no port.
inline const std::string kStartPortName = "COM";

// A serial port on the network, named as serial tools name it:
// "rfc2217://HOST:PORT" (Telnet with the Com Port Control Option: the line is set
// from here) or "socket://HOST:PORT" (raw TCP: only the bytes, the line is the
// server's). HOST is a name, an IPv4 address or an IPv6 one in brackets.
struct NetworkPortName {
    bool Rfc2217 = false;
    std::string Host;
    uint16_t Port = 0;
};
bool IsNetworkPortName(std::string_view name);  // by its scheme alone
// Empty when name is a network port's well-formed name (its parts in out),
// otherwise what is wrong with it.
std::string ParseNetworkPortName(std::string_view name, NetworkPortName& out);

// Where the system keeps a stable link to each USB serial device.
inline const std::string kStablePaths = "/dev/serial/by-id";

// The bindings at a port choice, from the devices present now. A name the user has
// bound by hand keeps its device. Any other name of COM1..COM4 keeps its device
// while that device is present, wherever the system has put it; a device that can
// be recognised (`known`: a name's stable link or serial number, kept between
// calls) gets its name back when it returns, and no other device takes that name
// meanwhile. Devices no name holds take the names left free, so an adapter plugged
// in after start is found without a restart.
std::map<std::string, std::string> RefreshBindings(const std::map<std::string, std::string>& current,
                                                   const std::set<std::string>& byHand,
                                                   const std::vector<DetectedPort>& ports,
                                                   std::map<std::string, std::string>& known,
                                                   const std::string& stablePaths = kStablePaths);

// One line of the setup dialog's device list for each port present: what the
// system calls it, where it is, and whether another program has it.
struct PortLine {
    std::string Device, Text;
};
std::vector<PortLine> PortListLines(const std::vector<DetectedPort>& ports);

// The choice of an earlier run, offered again at start-up.
struct RememberedPort {
    std::string Name, Device, Text, StableName;
};
// Where the remembered device is now: the port with its stable name (an adapter
// plugged into another socket), or its own device when present. Empty when it is
// not plugged in.
std::string RememberedDeviceNow(const RememberedPort& remembered, const std::vector<DetectedPort>& ports,
                                bool devicePresent);
// What the dialog says of a remembered device that is not plugged in.
std::string NotPluggedInNote(const RememberedPort& remembered);

}  // namespace platform
