#pragma once
// Stored programs of any size for the benchmarks.

#include <cstddef>
#include <cstdio>
#include <string>

namespace bench {

// A 128-byte header: byte 10 the device family, byte 14 the digit.
inline std::string Header(char family, char digit)
{
    std::string h(128, ' ');
    for (int i = 0; i < 128; ++i)
        h[i] = static_cast<char>(0x21 + i % 90);
    h[10] = family;
    h[14] = digit;
    return h;
}

// A text section of numbered records, each with two high bytes and ended by a
// kind marker (0x01..0x04); never 0x00, 0x1B or 0xFF.
inline std::string Text(size_t size)
{
    std::string t;
    t.reserve(size + 64);
    char record[64];
    for (unsigned n = 0; t.size() < size; ++n) {
        const int len = std::snprintf(record, sizeof record, "REC %07u VALUE=%u \xC1\xB0%c", n, n * 7919 % 100000,
                                      static_cast<char>(1 + n % 4));
        t.append(record, static_cast<size_t>(len));
    }
    t.resize(size);
    return t;
}

}  // namespace bench
