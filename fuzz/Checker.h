#pragma once
// The fuzzer's rig and its checks. The rig is the main window's components as
// fakes, wired the way the shell wires the real ones; the checker looks at every
// received byte on its own (before and after the dispatcher handled it), at every
// timer tick and at every other operation, and traps when something that must
// always hold does not:
//
//   - what goes to the port: each poll answered by exactly the one 5-byte reply its
//     state calls for, in one write; nothing else sent by the receive machine; the
//     lead-in, the header bytes in file order one per paced tick, the sections of
//     the .src file in writes of 256 bytes and a last one, the 0xFF, the zero byte
//     only at the second tick that finds it pending; nothing from any other command;
//     a transmission only of a whole set, a refused one told;
//     every byte of a transmission from the set it started with, whatever F8 or a
//     reception chose meanwhile;
//   - the state: every variable within its range, both machines agreeing on
//     whether a transmission runs, a header paced only while its transmission
//     runs, the time-out at the 91st busy tick, the 5001 block awaited exactly
//     when the header of this transfer alone calls for it;
//   - the data: during a reception the .hdr and .src files it writes aside hold
//     exactly the bytes received so far (unless someone else touched them), a name
//     chosen meanwhile moves none of them, a reception reported as done had no
//     failed file operation and kept every byte under the name, and one that
//     failed left the set under the name as it was and nothing aside.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "shell/ProgramState.h"
#include "tests/fakes/FakeForm1.h"

namespace fuzzrig {

// Reports every byte the dispatcher reads, so that each byte is judged on its
// own inside events of any size.
class WatchedPort : public FakeSerialPort {
public:
    std::function<void()> BeforeRead;
    std::function<void(uint8_t)> AfterRead;

    int ReadStr(std::string& s, int count) override
    {
        if (BeforeRead)
            BeforeRead();
        const size_t had = s.size();
        const int n = FakeSerialPort::ReadStr(s, count);
        if (AfterRead)
            AfterRead(s.size() > had ? static_cast<uint8_t>(s.back()) : 0);
        return n;
    }
};

struct Rig {
    ProgramState S;
    FakeForm1 F;
    WatchedPort Port;
    Form1Components C = F.With(Port, F.Files);
    Rig();
};

class Checker {
public:
    explicit Checker(Rig& rig);

    // One characters-received event of bytes; extra announces bytes that never came.
    void Receive(const std::string& bytes, int extra);
    void Tick1();
    void Tick2();
    void PortLost();
    // A command that must send nothing (menu commands, dialogs, output-empty).
    void Quiet(const std::function<void()>& command);
    // Someone else changed the file at path.
    void Touched(const std::string& path);
    // F7 or the overwrite prompt's OK: a reception under way keeps its files.
    void ChooseIncoming(const std::function<void()>& command);

private:
    struct Pre {
        int32_t rx, tx, esc, nulPending, nulArmed, watchdog, hdrActive, txEmpty, hdrOffset;
        uint64_t second;
        bool edit1, edit2;
    };
    struct Reception {
        bool active = false, disturbed = false;
        std::string list, hdr, src;  // paths
        std::string hdrBytes, srcBytes;  // what the device sent
        std::map<std::string, std::string> before;  // the set under the name at the start
    };

    // The set a transmission started with: every byte it sends comes from it.
    struct Transmission {
        std::string hdr, src;
        bool blockFollows = false;  // its header alone calls for the 5001 block
    };

    Pre Snap() const;
    void BeginByte(uint8_t b);
    void EndByte();
    void CheckReceiveByte(const Pre& p, uint8_t b, const std::vector<std::string>& w);
    void CheckTransmitByte(const Pre& p, uint8_t b, const std::vector<std::string>& w);
    void CheckSection(const Pre& p, uint64_t offset, uint8_t term, const std::vector<std::string>& w);
    void FollowReception(const Pre& p, uint8_t b, const std::vector<std::string>& w);
    void CheckState() const;

    const std::string* Content(const std::string& path) const;
    bool Readable(const std::string& path) const;
    bool Whole(const std::string& hdr, const std::string& src) const;
    bool FailedAny() const;  // an operation failed on a file of the reception

    Rig& r_;
    Reception rec_;
    Transmission tx_;
    bool inByte_ = false;
    uint8_t byte_ = 0;
    Pre pre_{};
};

}  // namespace fuzzrig
