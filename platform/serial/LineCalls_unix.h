#pragma once
// What the Linux port asks the kernel beside Qt Serial Port, and nothing else:
// one seam, so that a model of a real line (modem lines, a driver that does not
// take a setting, line error counters) can stand in for a pseudo-terminal's.

#include <termios.h>

#include <memory>

namespace platform {

class SerialTransport;

// The kernel's counts of damaged bytes on a port (TIOCGICOUNT).
struct LineCounters {
    int Frame = 0, Parity = 0, Overrun = 0, BufferOverrun = 0, Break = 0;
};

struct LineCalls {
    virtual ~LineCalls() = default;
    // The line as the driver has it now (tcgetattr).
    virtual bool Attributes(int fd, termios* t) = 0;
    // A pseudo-terminal carries no line: speed, format and flow are not its own.
    virtual bool PseudoTerminal(int fd) = 0;
    virtual bool ModemLines(int fd, int* lines) = 0;  // TIOCMGET
    virtual bool Counters(int fd, LineCounters* c) = 0;  // false where the driver keeps none
    virtual int OutputQueued(int fd) = 0;  // TIOCOUTQ
};

std::shared_ptr<LineCalls> SystemLineCalls();

// The Linux port on the given calls (MakeSerialTransport uses the system's).
std::unique_ptr<SerialTransport> MakeQtTransport(std::shared_ptr<LineCalls> calls);

}  // namespace platform
