#pragma once
// A serial port that a device server puts on the network (PortNames.h names it):
// over Telnet with the Com Port Control Option, the line set from here, or raw
// TCP, the bytes only. The same on every system (Qt Network).
//
// Nothing here blocks the window: an open waits for the server in an event loop
// that keeps painting, bounded, and says what it waits for (OnWaiting).

#include <chrono>
#include <memory>
#include <string>

#include "platform/serial/SerialTransport.h"
#include "platform/serial/SlowOpen.h"

namespace platform {

// Everything Open waits for at most: the connection, the option, the answers.
inline constexpr std::chrono::milliseconds kNetworkOpenBound = kOpenBound;

std::unique_ptr<SerialTransport> MakeNetworkTransport(std::chrono::milliseconds openBound = kNetworkOpenBound);

// The port each Open asks for: a network port's name goes to the network, any
// other to cable (the system's port, or a test's model).
std::unique_ptr<SerialTransport> WithNetworkPorts(std::unique_ptr<SerialTransport> cable,
                                                  std::unique_ptr<SerialTransport> network = MakeNetworkTransport());

}  // namespace platform
