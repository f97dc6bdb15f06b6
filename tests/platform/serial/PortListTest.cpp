// The setup dialog's port list from what the system reports, and the last run's
// port found again: reports in, the dialog's lines out.
#include <gtest/gtest.h>

#include "platform/serial/PortNames.h"
#include "platform/serial/System.h"

#ifndef _WIN32
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
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
    EXPECT_EQ(platform::NotPluggedInNote(com5), "COM2 was COM5, USB Serial Port (COM5) last time: it is not plugged in now.");
}

#ifndef _WIN32
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
#endif
