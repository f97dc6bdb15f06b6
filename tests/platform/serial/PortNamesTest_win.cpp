// The port names as Windows has them: COM1..COM4 are ports of the system.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/serial/PortNames.h"
#include "platform/serial/System.h"
#include "platform/files/StdFileSystem.h"
#include "tests/support/TempDir.h"

// No COM1 or COM2 here: they stay unbound rather than take COM3 or COM10.
TEST(PortNames, EachMenuNameStandsForThePortOfThatName)
{
    std::map<std::string, std::string> known;
    EXPECT_EQ(platform::RefreshBindings({}, {},
                                        {{"\\\\.\\COM10", "", "", ""}, {"\\\\.\\COM3", "USB Serial Port", "", ""},
                                         {"\\\\.\\com4", "", "", ""}, {"\\\\.\\COMX", "", "", ""}},
                                        known),
              (decltype(known){{"COM3", "\\\\.\\COM3"}, {"COM4", "\\\\.\\com4"}}));
}

TEST(PortNames, WhatIsNoSerialPortIsSaidInWords)
{
    TempDir temp{"serbox-ports"};
    const std::string file = platform::Utf8FromPath(temp.path / u8"porta è.txt");
    std::ofstream(temp.path / u8"porta è.txt") << "x";
    EXPECT_NE(platform::CheckDevicePath(file).find("is a file"), std::string::npos);
    EXPECT_NE(platform::CheckDevicePath(platform::Utf8FromPath(temp.path)).find("is a folder"), std::string::npos);
    EXPECT_NE(platform::CheckDevicePath("COM97").find("Device not found: COM97"), std::string::npos);
    EXPECT_NE(platform::CheckDevicePath("NUL").find("not a serial port"), std::string::npos);
    EXPECT_NE(platform::ExplainOpenFailure("COM2", EACCES).find("another program"), std::string::npos);
}
