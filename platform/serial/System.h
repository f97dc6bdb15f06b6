#pragma once
// What differs per system in the serial room, and nothing else: each system's
// files provide exactly these (CMakeLists.txt picks them).
//   Linux:   QtSerialPortTransport.cpp, PortDetection_unix.cpp, PortNames_unix.cpp,
//            DriverQueue_unix.cpp
//   Windows: Win32Transport.cpp, PortDetection_win.cpp, PortNames_win.cpp

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/serial/PortNames.h"

namespace platform {

class SerialTransport;

// The system's port (SerialTransport.h).
std::unique_ptr<SerialTransport> MakeSerialTransport();

// The serial devices present now.
std::vector<DetectedPort> DetectSerialPorts();

// Linux only: the name of the link in stablePaths (/dev/serial/by-id) that
// stands for device; empty when none does.
std::string StableNameOf(const std::string& device, const std::string& stablePaths);

// Linux only: how many bytes the serial driver still holds for sending (TIOCOUTQ
// on the open port's descriptor), the last check before the output-empty event;
// 0 when the driver cannot say. The Windows port learns it from the
// ClearCommError it makes itself, which also counts the line errors.
int DriverOutputQueued(intptr_t handle);

// For RefreshBindings: how a device is told from any other when it comes back
// (empty: it cannot be), and which of the free names the devices no name holds take.
std::string Recognise(const DetectedPort& port, const std::string& stablePaths);
std::map<std::string, std::string> BindFreeNames(const std::vector<std::string>& names,
                                                 const std::vector<DetectedPort>& ports);

// Empty when path names a terminal device (a serial port or a pseudo-terminal)
// this user may open; otherwise the reason it cannot be used. Asks the system and
// never opens the device: an open would pulse its modem lines, and the port this
// program holds would read as busy.
std::string CheckDevicePath(const std::string& path);

// The system says another program has the device open (this program never counts),
// found without opening it.
bool HeldByAnotherProgram(const std::string& device);

// The name is one of COM1..COM4 left unbound, naming no device of this system.
bool StandsForNoDevice(const std::string& device);

// The reason an open failed, in words a technician can act on: a missing device,
// one that another program holds, or one the user may not open.
std::string ExplainOpenFailure(const std::string& device, int err);

// Windows only: the path that opens a port name (every name through the device
// namespace, \\.\), and the errno value ExplainOpenFailure takes for the error of
// a failed open.
std::wstring WindowsDevicePath(const std::string& device);
int ErrnoOfOpenError(unsigned long error);

}  // namespace platform
