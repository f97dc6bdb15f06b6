// The port names as Windows has them: COM1..COM4 are ports of the system.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/PortNames.h"
#include "platform/StdFileSystem.h"
#include "tests/support/TempDir.h"

TEST(PortNames, EachMenuNameStandsForThePortOfThatName)
{
    const auto b = platform::DefaultBindings(
        {{"\\\\.\\COM10", "", "", ""}, {"\\\\.\\COM3", "USB Serial Port", "", ""}, {"COM1", "", "", ""},
         {"\\\\.\\com4", "", "", ""}, {"\\\\.\\COMX", "", "", ""}});
    const std::map<std::string, std::string> expected{
        {"COM1", "COM1"}, {"COM3", "\\\\.\\COM3"}, {"COM4", "\\\\.\\com4"}};
    EXPECT_EQ(b, expected);  // no COM2 here: it stays unbound rather than taking COM3 or COM10
    EXPECT_FALSE(platform::StandsForNoDevice("COM2"));
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
