#include <gtest/gtest.h>

#include "receive/Dispatcher.h"
#include "receive/StoredFileSet.h"
#include "tests/fakes/FakeSerialPort.h"
#include "tests/support/Header.h"

TEST(DeriveSetPath, ReplacesTheExtensionOfTheLastComponent)
{
    EXPECT_EQ(DeriveSetPath("C:\\PANELS\\LINE1.TXT", "hdr"), "C:\\PANELS\\LINE1.hdr");
    EXPECT_EQ(DeriveSetPath("C:\\PANELS\\LINE1.TXT", "src"), "C:\\PANELS\\LINE1.src");
    EXPECT_EQ(DeriveSetPath("LINE1", "hdr"), "LINE1.hdr");
    EXPECT_EQ(DeriveSetPath("LINE1.TEXT", "hdr"), "LINE1.hdr");
    EXPECT_EQ(DeriveSetPath("LINE1.T", "src"), "LINE1.src");
    EXPECT_EQ(DeriveSetPath("/home/tech/a.b/LINE1.TXT", "src"), "/home/tech/a.b/LINE1.src");
}

TEST(DeriveSetPath, NeverTakesTheDotOfAFolder)
{
    EXPECT_EQ(DeriveSetPath("C:\\V1.2\\LINE1", "hdr"), "C:\\V1.2\\LINE1.hdr");
    EXPECT_EQ(DeriveSetPath("/srv/v1.2/LINE1", "src"), "/srv/v1.2/LINE1.src");
}

TEST(DeriveSetPath, KeepsLongNamesWhole)
{
    const std::string name = std::string(400, 'x') + ".TXT";
    EXPECT_EQ(DeriveSetPath(name, "hdr"), std::string(400, 'x') + ".hdr");
}

namespace {

void Classify(ProgramState& S, const std::string& header)
{
    ClassifyHeader(S, reinterpret_cast<const uint8_t*>(header.data()));
}

}  // namespace

TEST(ClassifyHeader, LaterRulesWin)
{
    ProgramState S;
    Classify(S, ClassHeader('T', 'P', '0', 'A'));
    EXPECT_EQ(S.DeviceClass, 8);
    Classify(S, ClassHeader('L', 'P', '0', 'U'));
    EXPECT_EQ(S.DeviceClass, 11);
    Classify(S, ClassHeader(' ', 'P', '0', '\xC5'));
    EXPECT_EQ(S.DeviceClass, 8);  // byte 16 read as signed
    Classify(S, ClassHeader(' ', 'P', '0', 'u'));
    EXPECT_EQ(S.DeviceClass, 10);
    Classify(S, ClassHeader('t', ' ', '0', 0));
    EXPECT_EQ(S.DeviceClass, 7);
}

TEST(ClassifyHeader, NoMatchKeepsTheOldClass)
{
    ProgramState S;
    Classify(S, ClassHeader('N', ' ', '0', 0));
    EXPECT_EQ(S.DeviceClass, 13);
    Classify(S, ClassHeader('x', 'x', '0', 0));
    EXPECT_EQ(S.DeviceClass, 13);
}

TEST(ClassifyHeader, HeaderDigitAndTheSecondSection)
{
    ProgramState S;
    Classify(S, ClassHeader('t', ' ', '*', 0));
    EXPECT_EQ(S.HeaderDigit, 3);
    EXPECT_FALSE(SecondSectionFollows(S));
    Classify(S, ClassHeader('t', ' ', '2', 0));
    EXPECT_EQ(S.HeaderDigit, 2);
    EXPECT_TRUE(SecondSectionFollows(S));
    Classify(S, ClassHeader('t', ' ', 'A', 0));
    EXPECT_EQ(S.HeaderDigit, 1);
    Classify(S, ClassHeader('T', ' ', '0', 0));
    EXPECT_FALSE(SecondSectionFollows(S));  // class 6
    Classify(S, ClassHeader('*', ' ', '0', 0));
    EXPECT_FALSE(SecondSectionFollows(S));  // class 1
}

TEST(SendDeviceReply, OneWriteOfFiveBytes)
{
    FakeSerialPort port;
    for (uint8_t i = 0; i < 5; ++i)
        SendDeviceReply(port, i);
    ASSERT_EQ(port.Writes.size(), 5u);
    EXPECT_EQ(port.Writes[0], std::string("\x1B\x41\x42\x40\x42"));
    EXPECT_EQ(port.Writes[1], std::string("\x1B\x42\x42\x40\x42"));
    EXPECT_EQ(port.Writes[2], std::string("\x1B\x42\x41\x40\x42"));
    EXPECT_EQ(port.Writes[3], std::string("\x1B\x41\x4B\x40\x42"));
    EXPECT_EQ(port.Writes[4], std::string("\x1B\x41\x41\x40\x42"));
}
