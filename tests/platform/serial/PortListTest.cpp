// The setup dialog's port list from what the system reports, the last run's port
// found again, and the names that stand for the devices present.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/serial/PortNames.h"
#include "platform/serial/System.h"
#include "tests/support/TempDir.h"

#ifdef _WIN32
#include "platform/files/StdFileSystem.h"
#else
#include <cerrno>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/Pty.h"
#endif

namespace {

platform::DetectedPort Port(std::string device, std::string description = {}, std::string maker = {},
                            std::string stable = {}, bool inUse = false)
{
    platform::DetectedPort p{std::move(device), std::move(description), std::move(maker)};
    p.StableName = std::move(stable);
    p.InUse = inUse;
    return p;
}

const std::string kFtdiLink = "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";

}  // namespace

TEST(PortList, EachPortIsShownByWhatTheSystemCallsIt)
{
    const std::vector<platform::DetectedPort> reports{
        Port("COM1", "Communications Port (COM1)"),
        Port("COM5", "USB Serial Port (COM5)", "", "", true),
        Port("COM7"),  // a port the device manager does not name
        Port("/dev/ttyUSB0", "FT232R USB UART", "FTDI", kFtdiLink),
        Port("/dev/ttyACM0", "Prolific USB-Serial Controller", "Prolific"),
        Port("/dev/ttyUSB1", "CP2102 USB to UART Bridge Controller", "Silicon Labs", "", true),
        Port("/dev/ttyS0"),
    };
    // What the dialog shows, and the device each line stands for.
    const std::vector<std::pair<std::string, std::string>> want{
        {"Communications Port (COM1)", "COM1"},
        {"USB Serial Port (COM5) - in use by another program", "COM5"},
        {"COM7", "COM7"},
        {"FTDI FT232R USB UART (/dev/ttyUSB0, " + kFtdiLink + ")", "/dev/ttyUSB0"},
        {"Prolific USB-Serial Controller (/dev/ttyACM0)", "/dev/ttyACM0"},
        {"Silicon Labs CP2102 USB to UART Bridge Controller (/dev/ttyUSB1) - in use by another program", "/dev/ttyUSB1"},
        {"/dev/ttyS0", "/dev/ttyS0"},
    };
    std::vector<std::pair<std::string, std::string>> got;
    for (const auto& line : platform::PortListLines(reports))
        got.emplace_back(line.Text, line.Device);
    EXPECT_EQ(got, want);
}

// The adapter of the last run is found wherever it is plugged now; another one in
// its old socket is not taken for it, and a device that is gone is said so.
TEST(PortList, TheLastRunsDeviceIsFoundAgainOrSaidToBeMissing)
{
    const platform::RememberedPort ftdi{"COM1", "/dev/ttyUSB0", "FTDI FT232R USB UART (/dev/ttyUSB0)", kFtdiLink};
    EXPECT_EQ(platform::RememberedDeviceNow(ftdi, {Port("/dev/ttyUSB1", "FT232R", "FTDI", kFtdiLink)}, false),
              "/dev/ttyUSB1");
    EXPECT_EQ(platform::RememberedDeviceNow(ftdi, {Port("/dev/ttyUSB0", "CP2102", "", "usb-Silicon_Labs-port0")}, true),
              "");
    EXPECT_EQ(platform::NotPluggedInNote(ftdi),
              "COM1 was /dev/ttyUSB0, FTDI FT232R USB UART (/dev/ttyUSB0) last time: it is not plugged in now.");

    const platform::RememberedPort com5{"COM2", "COM5", "USB Serial Port (COM5)", ""};
    EXPECT_EQ(platform::RememberedDeviceNow(com5, {Port("COM1"), Port("COM5", "USB Serial Port (COM5)")}, false),
              "COM5");
    EXPECT_EQ(platform::RememberedDeviceNow(com5, {Port("COM1")}, false), "");
}

#ifdef _WIN32
// The port names as Windows has them: COM1..COM4 are ports of the system.
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
#else
// Checked without opening: a file, a folder, a missing device and what is no
// terminal are refused in words; the line this program holds is not busy; one
// another program holds is shown as in use, and free again once it has let go.
TEST(PortList, OnlyTerminalsAreAcceptedAndAnotherProgramsLineIsInUse)
{
    const auto dir = std::filesystem::temp_directory_path();
    const auto file = dir / "serbox-not-a-port.txt";
    std::ofstream(file) << "x";
    EXPECT_NE(platform::CheckDevicePath(file.string()).find("file"), std::string::npos);
    EXPECT_NE(platform::CheckDevicePath(dir.string()).find("folder"), std::string::npos);
    EXPECT_EQ(platform::CheckDevicePath("/dev/serbox-none"), "No such device: /dev/serbox-none");
    EXPECT_EQ(platform::CheckDevicePath("/dev/null"), "/dev/null is not a serial port or terminal");
    std::filesystem::permissions(file, std::filesystem::perms::none);  // as an unprivileged user sees it
    const uid_t user = ::geteuid();
    ASSERT_EQ(::seteuid(user == 0 ? 65534 : user), 0);
    EXPECT_NE(platform::ExplainOpenFailure(file.string(), EACCES).find("dialout"), std::string::npos);
    ASSERT_EQ(::seteuid(user), 0);
    std::filesystem::remove(file);

    Pty pty;
    // Qt refuses a port that another program holds as it refuses a forbidden one.
    EXPECT_NE(platform::ExplainOpenFailure(pty.path, EACCES).find("another program"), std::string::npos);
    const int own = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(own, 0);
    EXPECT_EQ(platform::CheckDevicePath(pty.path), "");
    EXPECT_FALSE(platform::HeldByAnotherProgram(pty.path));

    // Another program holds it: a child with the descriptor it inherits from here.
    const pid_t other = ::fork();
    if (other == 0) {
        ::pause();
        ::_exit(0);
    }
    ::close(own);
    EXPECT_TRUE(platform::HeldByAnotherProgram(pty.path));
    ::kill(other, SIGKILL);
    ::waitpid(other, nullptr, 0);
    EXPECT_FALSE(platform::HeldByAnotherProgram(pty.path));
}

// Every step is a port choice with the devices then present. A name keeps its
// device while it is present and gets it back when it returns recognised (by its
// serial number here; what cannot be recognised leaves its name free); a newly
// plugged device takes only a free name.
TEST(PortNames, ANameKeepsItsDeviceAndNewDevicesTakeOnlyFreeNames)
{
    using Names = std::map<std::string, std::string>;
    const auto at = [](std::string tty, std::string serial = "") {
        return platform::DetectedPort{tty[0] == '/' ? tty : "/dev/" + tty, "", "", serial};
    };
    const auto s0 = at("ttyS0"), s2 = at("ttyS2"), s10 = at("ttyS10"), usb0 = at("ttyUSB0"), usb1 = at("ttyUSB1"),
               acm0 = at("ttyACM0"), a0 = at("ttyUSB0", "A"), a2 = at("ttyUSB2", "A"), b1 = at("ttyUSB1", "B"),
               c0 = at("ttyUSB0", "C");
    // The devices present at each choice, and what the names stand for then.
    const std::vector<std::vector<std::pair<std::vector<platform::DetectedPort>, std::string>>> chains = {
        {{{usb1}, "COM1=ttyUSB1"}, {{s10, s2, acm0, usb0, usb1}, "COM1=ttyUSB1 COM2=ttyACM0 COM3=ttyUSB0 COM4=ttyS2"}},
        {{{a0, b1}, "COM1=ttyUSB0 COM2=ttyUSB1"}, {{b1}, "COM2=ttyUSB1"},
         {{c0, b1}, "COM2=ttyUSB1 COM3=ttyUSB0"},  // at A's old path, and not A; COM1 waits for A
         {{c0, b1, a2}, "COM1=ttyUSB2 COM2=ttyUSB1 COM3=ttyUSB0"}},
        {{{s0, s2}, "COM1=ttyS0 COM2=ttyS2"}, {{s2}, "COM2=ttyS2"}, {{s2, usb0}, "COM1=ttyUSB0 COM2=ttyS2"}},
    };
    for (const auto& chain : chains) {
        Names b, known;
        for (const auto& [present, expected] : chain) {
            std::string got;
            for (const auto& [name, device] : b = platform::RefreshBindings(b, {}, present, known))
                got += (got.empty() ? "" : " ") + name + "=" + device.substr(5);
            EXPECT_EQ(got, expected);
        }
    }

    // A name bound by hand keeps its device, and another name that had it gives it up.
    Names known, b = {{"COM1", "/dev/ttyUSB0"}, {"COM2", "/dev/pts/7"}, {"MYPORT", "/dev/ttyUSB0"}};
    EXPECT_EQ(platform::RefreshBindings(b, {"COM2", "MYPORT"}, {s0, usb0}, known),
              (Names{{"COM1", "/dev/ttyS0"}, {"COM2", "/dev/pts/7"}, {"MYPORT", "/dev/ttyUSB0"}}));

    // The stable link finds an adapter with no serial number under another device.
    TempDir byId{"serbox-by-id"};
    Pty p0, p3;  // where it is plugged in at first, and again
    std::filesystem::create_symlink(p0.path, byId.path / "usb-P-if00-port0");
    b = platform::RefreshBindings({}, {}, {at(p0.path)}, known, byId.path.string());
    std::filesystem::remove(byId.path / "usb-P-if00-port0");
    std::filesystem::create_symlink(p3.path, byId.path / "usb-P-if00-port0");
    EXPECT_EQ(platform::RefreshBindings(b, {}, {at(p0.path), at(p3.path)}, known, byId.path.string()),
              (Names{{"COM1", p3.path}, {"COM2", p0.path}}));
}
#endif
