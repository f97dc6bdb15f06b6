#pragma once
// The fuzz input format: a stream of operations, each a selector byte (taken
// modulo kOpCount) and its own parameter bytes. The fuzzer decodes it
// (ExchangeFuzzer.cpp); the seed generator (MakeSeeds.cpp) writes valid
// exchanges in it with Script.
//
//   RxShortA..C  len, len bytes       one characters-received event
//   RxLong       len (2 bytes LE, at most 8191), bytes
//   Tick1        n: 1 + n % 100 ticks of the watchdog timer
//   Tick2        one tick of the pacing timer (while it is enabled)
//   TxEmpty      the output-empty event
//   F7 / F8      name index: the save/open dialog's answer, then the menu command
//   FileOp       target, action[, len, bytes]: a file vanishes, fails or changes
//   DialogOk     the error dialog's OK (answers the overwrite prompt)
//   RxShortRead  len, extra, bytes: the event announces more bytes than wait
//   Pace         n: n + 1 times a pacing tick followed by the output-empty event
//   Lost         the port went away (what the shell does when the device vanishes)

#include <cstdint>
#include <string>

namespace fuzzops {

enum Op : uint8_t {
    RxShortA,
    RxShortB,
    RxShortC,
    RxLong,
    Tick1,
    Tick2,
    TxEmpty,
    F7,
    F8,
    FileOp,
    DialogOk,
    RxShortRead,
    Pace,
    Lost,
    kOpCount,
};

// What the dialogs answer; index 0 is a cancel. The stored set "p" exists at start.
inline const char* const kNames[] = {"", "p.TXT", "q.TXT", "q.hdr", "r", "dir.v1/s", "P.TXT"};
constexpr uint8_t kNameCount = sizeof kNames / sizeof kNames[0];

// FileOp targets: the names of the current incoming and outgoing sets.
enum Target : uint8_t { RxList, RxHdr, RxSrc, TxList, TxHdr, TxSrc, kTargetCount };
enum Action : uint8_t { Vanish, FailOpen, FailWrite, FailCreate, Heal, SetContent, kActionCount };

class Script {
public:
    std::string bytes;

    Script& Rx(const std::string& data)
    {
        for (size_t at = 0; at < data.size() || at == 0; at += 8191) {
            const std::string part = data.substr(at, 8191);
            if (part.size() < 256) {
                bytes += char(RxShortA);
                bytes += char(part.size());
            } else {
                bytes += char(RxLong);
                bytes += char(part.size() & 0xFF);
                bytes += char(part.size() >> 8);
            }
            bytes += part;
            if (data.empty())
                break;
        }
        return *this;
    }
    // The same bytes, one event each.
    Script& RxBytewise(const std::string& data)
    {
        for (char c : data)
            Rx(std::string(1, c));
        return *this;
    }
    Script& Ticks1(int n)
    {
        for (; n > 0; n -= 100) {
            bytes += char(Tick1);
            bytes += char((n > 100 ? 100 : n) - 1);
        }
        return *this;
    }
    Script& PaceOut(int n)
    {
        for (; n > 0; n -= 256) {
            bytes += char(Pace);
            bytes += char((n > 256 ? 256 : n) - 1);
        }
        return *this;
    }
    Script& Choose(Op menu, uint8_t name)
    {
        bytes += char(menu);
        bytes += char(name);
        return *this;
    }
};

}  // namespace fuzzops
