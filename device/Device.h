#pragma once
// The device's side of the line: what a keypad or display module sends and
// expects, so that serbox can be tried and tested without one.

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <vector>

namespace device {

// A wrong, missing or late answer from the PC, or input the device cannot send.
struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Options {
    size_t chunk = 1024;     // section bytes between two polls
    bool baudPace = false;   // one byte every 10 bits at 4800 baud, as a real line
    int timeoutMs = 3000;    // longest wait for an answer the PC owes
};

class Line {
public:
    // A pseudo-terminal of our own; the PC opens Path().
    static Line CreatePty();
    // A serial device, set raw at 4800 8N1.
    static Line OpenDevice(const std::string& path);

    Line(Line&& other) noexcept;
    Line& operator=(Line&&) = delete;
    ~Line();

    const std::string& Path() const { return path_; }
    int Fd() const { return fd_; }

    // On a pseudo-terminal: whether the PC holds the other end open.
    bool PeerOpen() const;
    // Waits until the PC has opened the other end; false after timeoutMs (< 0: forever).
    bool WaitForPeer(int timeoutMs) const;

    void Send(const std::string& bytes, const Options& options);
    // Exactly n bytes, each within timeoutMs of the one before.
    std::string Read(size_t n, int timeoutMs, const std::string& what);
    // Up to and including terminator, each byte within timeoutMs of the one before.
    std::string ReadThrough(uint8_t terminator, int timeoutMs, const std::string& what);
    // Whatever arrives until the line has been quiet for quietMs.
    std::string ReadQuiet(int quietMs);
    // Time at which the last byte returned by a read arrived (to the read that
    // brought it: bytes that came together share it).
    std::chrono::steady_clock::time_point LastArrival() const { return lastArrival_; }

private:
    Line(int fd, std::string path, bool pty) : fd_(fd), path_(std::move(path)), pty_(pty) {}
    // One byte; false when none arrived within timeoutMs.
    bool ReadByte(uint8_t& b, int timeoutMs);

    int fd_ = -1;
    std::string path_;
    bool pty_ = false;
    std::string pending_;
    size_t pendingAt_ = 0;
    std::chrono::steady_clock::time_point lastArrival_{};
};

struct Program {
    std::string hdr;  // the 128-byte header block
    std::string src;  // text section, 0x00, and the 5001 block up to its 0xFF when there is one
};

// Reads a stored pair; Failure when a file is missing or is no stored program.
Program LoadProgram(const std::string& hdrPath, const std::string& srcPath);
// Writes OUT.hdr and OUT.src.
void SaveProgram(const Program& program, const std::string& out);
// The header calls for a 5001 block after the text section.
bool HasSecondSection(const std::string& hdr);

// The device sends its program to the PC, checking every reply.
void SendProgram(Line& line, const Program& program, const Options& options, std::ostream& log);
// The device asks the PC for its outgoing program and collects it.
Program ReceiveProgram(Line& line, const Options& options, std::ostream& log);
// Each input line goes out as terminal output ended by CR LF; what the PC sends
// meanwhile (its keys) is written to echo in hex, one line per read.
// Ends at the end of the input.
void TypeLines(Line& line, int inputFd, const Options& options, std::ostream& echo);

std::string Hex(const std::string& bytes);

// One step of the command line: "send HDR SRC", "receive OUT" or "type".
struct Step {
    std::string command;
    std::vector<std::string> args;
};
// The steps named on the command line, the whole list `repeat` times over (a
// soak: round trips back to back). Empty when args make no command; problem,
// where given, then says why in a line.
std::vector<Step> ParseSteps(const std::vector<std::string>& args, long repeat, std::string* problem = nullptr);

// serbox-device's whole command line (argv without the program's name).
struct CommandLine {
    Options options;
    std::string port;        // empty: a pseudo-terminal of its own
    bool wait = true;        // each step waits for Enter
    bool exitAtEnd = false;  // --exit: no staying open after the last step
    bool help = false;
    std::vector<Step> steps;
};
// False with the problem in one line when the arguments make no command.
bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& line, std::string& problem);

}  // namespace device
