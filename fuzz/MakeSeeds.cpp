// Writes the seed corpus of the exchange fuzzer into the folder given: valid
// receptions (with and without the 5001 block, in one event per step and one
// event per byte, with a text chunk longer than the device's 2047), a
// transmission, a received set sent back, a time-out and a failing source file.

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz/Ops.h"

namespace {

using namespace fuzzops;

const std::string E = "\x1B";

// The device's side of a reception, step by step.
std::vector<std::string> Reception(bool block, const std::string& text)
{
    std::vector<std::string> steps = {E + "A", E + "I", E + "C", E + "Y" + Header(block ? 't' : 'T', '0'),
                                      E + "I", E + "U", text + E + "I", std::string("LAST\x02\xC1", 6) + '\0',
                                      E + "I", E + "I"};
    if (block)
        steps.insert(steps.end(), {E + "U" + Block(), E + "I", E + "I"});
    return steps;
}

Script Received(bool block, bool bytewise, const std::string& text = "LINE ONE\x01")
{
    Script s = Script().Choose(F7, 2);  // q.TXT, not there yet
    for (const std::string& step : Reception(block, text))
        bytewise ? s.RxBytewise(step) : s.Rx(step);
    return s;
}

Script SendBack(Script s)
{
    s.Rx(E + "A").Rx(E + "Z").PaceOut(129).Rx(E + "I").Rx(E + "V").Ticks1(2);
    return s.Rx(E + "I").Rx(E + "V");
}

void Write(const std::string& dir, const char* name, const Script& s)
{
    std::ofstream(dir + "/" + name, std::ios::binary) << s.bytes;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    Write(dir, "reception", Received(false, false));
    Write(dir, "reception-block", Received(true, false));
    Write(dir, "reception-bytewise", Received(true, true));
    Write(dir, "reception-long-chunk", Received(false, false, std::string(3000, 'x') + "\x01"));

    Write(dir, "transmission", SendBack(Script().Choose(F8, 1)));  // the stored set p
    Write(dir, "round-trip", SendBack(Received(true, false)));
    Write(dir, "time-out", Script().Choose(F7, 2).Rx(E + "A" + E + "C" + E + "Y").Ticks1(91));

    Script failing = Script().Choose(F7, 2).Rx(E + "A" + E + "C" + E + "Y" + Header('T', '0'));
    failing.bytes += {char(FileOp), char(RxSrc), char(FailWrite)};
    for (const std::string& step : Reception(false, "TEXT\x01"))
        if (step.size() < 100 && step != E + "C")
            failing.Rx(step);
    Write(dir, "failing-source", failing);
    return 0;
}
