#pragma once
// The fuzz input format: a stream of operations, each a selector byte (taken
// modulo kOpCount) and its own parameter bytes. The fuzzer decodes it
// (ExchangeFuzzer.cpp); the seed generator (MakeSeeds.cpp) writes valid
// exchanges in it with Script. Header and Block make the sets of both.
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

// FileOp targets: the names of the current incoming and outgoing sets, and the
// files a reception writes beside the incoming one.
enum Target : uint8_t { RxList, RxHdr, RxSrc, TxList, TxHdr, TxSrc, RxListAside, RxHdrAside, RxSrcAside, kTargetCount };
enum Action : uint8_t { Vanish, FailOpen, FailWrite, FailCreate, Heal, SetContent, kActionCount };

// A header of 128 bytes of the given class and digit, with an ESC inside that
// must not start a pair.
inline std::string Header(char klass, char digit)
{
    std::string h(128, 'h');
    h[10] = klass;
    h[14] = digit;
    h[100] = '\x1B';
    return h;
}

// A 5001 block closed by its 0xFF.
inline std::string Block()
{
    std::string b;
    for (int i = 0; i < 22; ++i)
        b += std::string("P") + char(0x30 + (i >> 1)) + char(0x30 + (i & 15));
    return b + '\xFF';
}

class Script {
public:
    std::string bytes;

    // One event per 8191 bytes at most; an empty one too.
    Script& Rx(const std::string& data)
    {
        size_t at = 0;
        do {
            const std::string part = data.substr(at, 8191);
            if (part.size() < 256)
                bytes += {char(RxShortA), char(part.size())};
            else
                bytes += {char(RxLong), char(part.size() & 0xFF), char(part.size() >> 8)};
            bytes += part;
        } while ((at += 8191) < data.size());
        return *this;
    }
    // The same bytes, one event each.
    Script& RxBytewise(const std::string& data)
    {
        for (char c : data)
            Rx(std::string(1, c));
        return *this;
    }
    Script& Ticks1(int n) { return Repeated(Tick1, n, 100); }
    Script& PaceOut(int n) { return Repeated(Pace, n, 256); }
    // n times, in operations of at most limit each, whose parameter is their count less one.
    Script& Repeated(Op op, int n, int limit)
    {
        for (; n > 0; n -= limit)
            bytes += {char(op), char((n > limit ? limit : n) - 1)};
        return *this;
    }
    Script& Choose(Op menu, uint8_t name)
    {
        bytes += {char(menu), char(name)};
        return *this;
    }
};

}  // namespace fuzzops
