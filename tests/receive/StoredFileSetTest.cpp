#include <gtest/gtest.h>

#include <array>

#include "receive/Dispatcher.h"
#include "receive/StoredFileSet.h"
#include "tests/fakes/FakeSerialPort.h"

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

std::array<uint8_t, 128> Header(uint8_t b10, uint8_t b11, uint8_t b14, uint8_t b16)
{
    std::array<uint8_t, 128> h{};
    h[10] = b10;
    h[11] = b11;
    h[14] = b14;
    h[16] = b16;
    return h;
}

}  // namespace

TEST(ClassifyHeader, LaterRulesWin)
{
    ProgramState S;
    ClassifyHeader(S, Header('T', 'P', '0', 'A').data());
    EXPECT_EQ(S.DeviceClass, 8);
    ClassifyHeader(S, Header('L', 'P', '0', 'U').data());
    EXPECT_EQ(S.DeviceClass, 11);
    ClassifyHeader(S, Header(' ', 'P', '0', 0xC5).data());
    EXPECT_EQ(S.DeviceClass, 8);  // byte 16 read as signed
    ClassifyHeader(S, Header(' ', 'P', '0', 'u').data());
    EXPECT_EQ(S.DeviceClass, 10);
    ClassifyHeader(S, Header('t', ' ', '0', 0).data());
    EXPECT_EQ(S.DeviceClass, 7);
}

TEST(ClassifyHeader, NoMatchKeepsTheOldClass)
{
    ProgramState S;
    ClassifyHeader(S, Header('N', ' ', '0', 0).data());
    EXPECT_EQ(S.DeviceClass, 13);
    ClassifyHeader(S, Header('x', 'x', '0', 0).data());
    EXPECT_EQ(S.DeviceClass, 13);
}

TEST(ClassifyHeader, HeaderDigitAndTheSecondSection)
{
    ProgramState S;
    ClassifyHeader(S, Header('t', ' ', '*', 0).data());
    EXPECT_EQ(S.HeaderDigit, 3);
    EXPECT_FALSE(SecondSectionFollows(S));
    ClassifyHeader(S, Header('t', ' ', '2', 0).data());
    EXPECT_EQ(S.HeaderDigit, 2);
    EXPECT_TRUE(SecondSectionFollows(S));
    ClassifyHeader(S, Header('t', ' ', 'A', 0).data());
    EXPECT_EQ(S.HeaderDigit, 1);
    ClassifyHeader(S, Header('T', ' ', '0', 0).data());
    EXPECT_FALSE(SecondSectionFollows(S));  // class 6
    ClassifyHeader(S, Header('*', ' ', '0', 0).data());
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
