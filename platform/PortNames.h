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

// USB adapters first (the common case: one adapter is COM1), built-in ports after.
std::map<std::string, std::string> DefaultBindings(const std::vector<DetectedPort>& ports);

// The bindings at a port choice, from the devices present now: a name the user has
// bound by hand keeps its device; the other names of COM1..COM4 are bound anew by
// DefaultBindings over the devices not bound by hand, so an adapter plugged in
// after start is found without a restart.
std::map<std::string, std::string> RefreshBindings(const std::map<std::string, std::string>& current,
                                                   const std::set<std::string>& byHand,
                                                   const std::vector<DetectedPort>& ports);

// Empty when path names a terminal device (a serial port or a pseudo-terminal);
// otherwise the reason it cannot be used.
std::string CheckDevicePath(const std::string& path);

// The name is one of COM1..COM4 left unbound, naming no device of this system.
bool StandsForNoDevice(const std::string& device);

// The reason an open failed, in words a technician can act on.
std::string ExplainOpenFailure(const std::string& device, int err);

}  // namespace platform
