#include <gtest/gtest.h>

#include "link/Exchange.h"
#include "link/StoredFileSet.h"
#include "tests/fakes/FakeSerialPort.h"
#include "tests/support/Header.h"

// The extension of the last component is replaced, never the dot of a folder.
TEST(DeriveSetPath, ReplacesTheExtensionOfTheLastComponentOnly)
{
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\PANELS\\LINE1.TXT", "C:\\PANELS\\LINE1.hdr"}, {"LINE1", "LINE1.hdr"},
        {"LINE1.TEXT", "LINE1.hdr"},                         {"LINE1.T", "LINE1.hdr"},
        {"/home/tech/a.b/LINE1.TXT", "/home/tech/a.b/LINE1.hdr"}, {"C:\\V1.2\\LINE1", "C:\\V1.2\\LINE1.hdr"},
        {"/srv/v1.2/LINE1", "/srv/v1.2/LINE1.hdr"}, {std::string(400, 'x') + ".TXT", std::string(400, 'x') + ".hdr"},
        {"/srv/.TXT", "/srv/.hdr"}};
    for (const auto& [in, out] : cases)
        EXPECT_EQ(DeriveSetPath(in, "hdr"), out);
    EXPECT_EQ(DeriveSetPath("C:\\PANELS\\LINE1.TXT", "src"), "C:\\PANELS\\LINE1.src");
}

// Later rules win; no match is class 0 whatever came before; byte 16 is read as
// signed. The digit (byte 14) and the class decide whether the 5001 block follows.
TEST(ClassifyHeader, ClassDigitAndTheSecondSection)
{
    struct Case {
        char b10, b11, b14, b16;
        int cls, digit;
        bool follows;
    };
    const Case cases[] = {
        {'T', 'P', '0', 'A', 8, 0, true}, {'L', 'P', '0', 'U', 11, 0, true}, {' ', 'P', '0', '\xC5', 8, 0, true},
        {' ', 'P', '0', 'T', 8, 0, true}, {' ', 'P', '0', 'V', 0, 0, false}, {' ', 'Q', '0', 'U', 0, 0, false},
        {' ', 'P', '0', 'u', 10, 0, true}, {'N', ' ', '0', 0, 13, 0, true},   {'x', 'x', '0', 0, 0, 0, false},
        {'t', ' ', '*', 0, 7, 3, false},   {'t', ' ', '2', 0, 7, 2, true},    {'t', ' ', 'A', 0, 7, 1, true},
        {'T', ' ', '0', 0, 6, 0, false},   {'*', ' ', '0', 0, 1, 0, false}};
    ProgramState S;
    for (const char* c : {"*1", "T6", "t7", "L11", "l11", "M11", "\\12", "|12", "]12", "N13", "n13", "O13", "J14", "j14", "K14"}) {
        const std::string h = ClassHeader(c[0], ' ', '0', 0);
        ClassifyHeader(S, reinterpret_cast<const uint8_t*>(h.data()));
        EXPECT_EQ(S.DeviceClass, std::atoi(c + 1)) << c;
    }
    for (const Case& c : cases) {
        const std::string h = ClassHeader(c.b10, c.b11, c.b14, c.b16);
        ClassifyHeader(S, reinterpret_cast<const uint8_t*>(h.data()));
        EXPECT_EQ(S.DeviceClass, c.cls) << c.b10 << c.b11 << c.b14;
        EXPECT_EQ(S.HeaderDigit, c.digit) << c.b10 << c.b11 << c.b14;
        EXPECT_EQ(SecondSectionFollows(S), c.follows) << c.b10 << c.b11 << c.b14;
    }
}

TEST(SendDeviceReply, OneWriteOfFiveBytes)
{
    FakeSerialPort port;
    for (uint8_t i = 0; i < 5; ++i)
        SendDeviceReply(port, i);
    EXPECT_EQ(port.Writes, (std::vector<std::string>{"\x1B\x41\x42\x40\x42", "\x1B\x42\x42\x40\x42", "\x1B\x42\x41\x40\x42",
                                                      "\x1B\x41\x4B\x40\x42", "\x1B\x41\x41\x40\x42"}));
}
