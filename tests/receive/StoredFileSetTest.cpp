#include <gtest/gtest.h>

#include "link/StoredFileSet.h"
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

// Later rules win, whether byte 10, 11 or 16 matched; no match is class 0 whatever
// came before; byte 16 is read as signed. The digit (byte 14) and the class
// decide whether the 5001 block follows.
TEST(ClassifyHeader, TheLastRuleThatMatchesWinsAndDecidesTheSecondSection)
{
    struct Case {
        char b10, b11, b14, b16;
        int cls, digit;
        bool follows;
    };
    const Case cases[] = {
        {'T', 'P', '0', 'A', 8, 0, true},   {'l', 'P', '0', 'U', 11, 0, true}, {' ', 'P', '0', '\xC5', 8, 0, true},
        {' ', 'P', '0', 'T', 8, 0, true},   {' ', 'P', '0', 'V', 0, 0, false}, {' ', 'Q', '0', 'U', 0, 0, false},
        {' ', 'P', '0', 'U', 9, 0, true},   {' ', 'P', '0', 'u', 10, 0, true}, {'|', 'P', '0', 'u', 12, 0, true},
        {'n', 'P', '0', 'A', 13, 0, true},  {'j', 'P', '0', 'U', 14, 0, true}, {'x', 'x', '0', 0, 0, 0, false},
        {'t', ' ', '*', 0, 7, 3, false},    {'t', ' ', '2', 0, 7, 2, true},    {'t', ' ', 'A', 0, 7, 1, true},
        {'T', ' ', '0', 0, 6, 0, false},    {'*', ' ', '0', 0, 1, 0, false}};
    ProgramState S;
    for (const Case& c : cases) {
        const std::string h = ClassHeader(c.b10, c.b11, c.b14, c.b16);
        ClassifyHeader(S, reinterpret_cast<const uint8_t*>(h.data()));
        EXPECT_EQ(S.DeviceClass, c.cls) << c.b10 << c.b11 << c.b16;
        EXPECT_EQ(S.HeaderDigit, c.digit) << c.b10 << c.b11 << c.b14;
        EXPECT_EQ(SecondSectionFollows(S), c.follows) << c.b10 << c.b11 << c.b14;
    }
}
