#pragma once

#include <string>

// The PC's replies and the device's poll, written out again: the tests do not
// take them from the code they check.
const std::string kAck = "\x1B\x41\x42\x40\x42", kChunkOk = "\x1B\x42\x42\x40\x42", kEnded = "\x1B\x42\x41\x40\x42";
const std::string kPoll = "\x1B" "I", kNul(1, '\0');

// A 128-byte header block: its bytes run through most values, 0x1B and 0x80
// and above included, byte 3 is zero; bytes 10 and 14 classify it.
inline std::string HeaderOf(char b10, char b14)
{
    std::string h(128, '\0');
    for (int i = 0; i < 128; ++i)
        h[i] = static_cast<char>(i * 5 + 0x81);
    h[3] = '\0';
    h[10] = b10;
    h[11] = ' ';
    h[14] = b14;
    h[16] = ' ';
    return h;
}

// Blank but for the bytes the classification reads.
inline std::string ClassHeader(char b10, char b11, char b14, char b16)
{
    std::string h(128, ' ');
    h[10] = b10;
    h[11] = b11;
    h[14] = b14;
    h[16] = b16;
    return h;
}
