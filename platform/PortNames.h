#pragma once
// Which device each of COM1..COM4 stands for, and whether a typed path is a
// serial device at all. Plain C++ so that both are tested without a port.
// Per system: PortNames_unix.cpp (device paths such as /dev/ttyUSB0) and
// PortNames_win.cpp (COM1..COM4 are the system's own port names).

#include <map>
#include <set>
#include <string>
#include <vector>

namespace platform {

struct DetectedPort {
    std::string Device;  // e.g. /dev/ttyUSB0
    std::string Description, Manufacturer, SerialNumber;
};

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

// Per system, for the refresh: how a device is told from any other when it comes
// back (empty: it cannot be), and which of the free names the devices no name
// holds take.
std::string Recognise(const DetectedPort& port, const std::string& stablePaths);
std::map<std::string, std::string> BindFreeNames(const std::vector<std::string>& names,
                                                 const std::vector<DetectedPort>& ports);

// Empty when path names a terminal device (a serial port or a pseudo-terminal);
// otherwise the reason it cannot be used.
std::string CheckDevicePath(const std::string& path);

// The name is one of COM1..COM4 left unbound, naming no device of this system.
bool StandsForNoDevice(const std::string& device);

// The reason an open failed, in words a technician can act on: a missing device,
// one that another program holds, or one the user may not open.
std::string ExplainOpenFailure(const std::string& device, int err);

// Windows only (PortNames_win.cpp): the path that opens a port name (COM10 and up
// only through the device namespace), and the errno value ExplainOpenFailure takes
// for the error of a failed open.
std::wstring WindowsDevicePath(const std::string& device);
int ErrnoOfOpenError(unsigned long error);

}  // namespace platform
