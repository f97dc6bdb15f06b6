// The serial component on its Linux port with a model of a real line's kernel
// side (LineCalls_unix.h) over a pseudo-terminal: the modem lines, the driver's
// view of the settings and its line error counters are the model's.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <QTest>
#include <memory>

#include "platform/serial/LineCalls_unix.h"
#include "platform/serial/SerialComponent.h"
#include "platform/serial/SerialTransport.h"
#include "tests/platform/serial/HeldByCts.h"
#include "tests/support/Pty.h"

namespace {

class FakeLine : public platform::LineCalls {
public:
    bool Cts = true;
    int Queued = 0;           // bytes the adapter holds while CTS is low
    speed_t KeptSpeed = 0;    // the driver keeps this speed whatever is set
    platform::LineCounters Counts;

    bool Attributes(int fd, termios* t) override
    {
        if (!real_->Attributes(fd, t))
            return false;
        if (KeptSpeed)
            cfsetospeed(t, KeptSpeed);
        return true;
    }
    bool PseudoTerminal(int) override { return false; }  // a line, as a serial port has
    bool ModemLines(int, int* lines) override
    {
        *lines = Cts ? TIOCM_CTS : 0;
        return true;
    }
    bool Counters(int, platform::LineCounters* c) override { return *c = Counts, true; }
    int OutputQueued(int fd) override { return Cts ? real_->OutputQueued(fd) : Queued; }

private:
    std::shared_ptr<platform::LineCalls> real_ = platform::SystemLineCalls();
};

struct Line : ::testing::Test {
    Pty pty;
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    platform::SerialComponent port{nullptr, platform::MakeQtTransport(line)};
    Line()
    {
        port.Bind("COM1", pty.path);
        port.SetPort("COM1");
    }
};

}  // namespace

// Held again, then the port closes: nothing waits on the line any more.
TEST_F(Line, BytesHeldByCtsAreToldAndOutputEmptyWaitsForTheWire)
{
    port.SetBaudRate(1200);
    port.Open();
    line->Cts = false;
    line->Queued = 10;
    HeldByCts cts;
    ASSERT_NO_FATAL_FAILURE(cts.Run(port, [&] { line->Cts = true; }));
    line->Cts = false;
    port.WriteStr("x");
    ASSERT_TRUE(QTest::qWaitFor([&] { return cts.held.size() == 3; }, 5000));
    port.Close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return cts.held.size() == 4; }, 5000));
    EXPECT_EQ(cts.held, (std::vector<bool>{true, false, true, false}));
}

// No device, a name that stands for none, the driver did not take the speed (read
// back), or a pseudo-terminal's line cannot carry 7 data bits: the open fails with
// what was wrong.
TEST_F(Line, ARefusedSettingFailsTheOpenWithItsReason)
{
    port.Bind("COM2", "/dev/serbox-no-such-device");
    for (const std::string name : {"COM2", "COM5"}) {
        port.SetPort(name);
        EXPECT_THROW(port.Open(), platform::EComPort);
        EXPECT_EQ(port.LastFailure(), name == "COM2" ? "Device not found: /dev/serbox-no-such-device (is the adapter "
                                                       "plugged in?)" : "COM5 stands for no serial device of this machine");
    }
    port.SetPort("COM1");
    line->KeptSpeed = B9600;
    EXPECT_THROW(port.Open(), platform::EComPort);
    EXPECT_FALSE(port.Connected());
    EXPECT_EQ(port.LastFailure(), pty.path + " refused the setting 4800 baud (the driver kept its own): choose one "
                                             "the adapter supports");
    line->KeptSpeed = 0;
    port.SetDataBits(7);
    EXPECT_THROW(port.Open(), platform::EComPort);
    EXPECT_EQ(port.LastFailure().rfind(pty.path + " refused the setting 7 data bits", 0), 0u) << port.LastFailure();
    port.SetDataBits(8);
    port.Open();
    EXPECT_TRUE(port.Connected()) << port.LastFailure();
}

// The kernel's counters, from the open on, each growth told once.
TEST_F(Line, LineErrorsAreCountedFromTheOpen)
{
    line->Counts = {5, 1, 0, 0, 0};  // the previous owner's
    port.Open();
    std::string got;
    std::vector<int> told;
    port.OnRxChar = [&](int count) { port.ReadStr(got, count); };
    port.OnLineErrors = [&](const platform::LineErrors& e) { told.push_back(e.Total()); };
    line->Counts = {7, 1, 1, 0, 1};
    pty.Send("ab");
    ASSERT_TRUE(QTest::qWaitFor([&] { return got == "ab"; }, 5000));
    pty.Send("c");
    ASSERT_TRUE(QTest::qWaitFor([&] { return got == "abc"; }, 5000));
    const platform::LineErrors e = port.LineErrorsSeen();
    EXPECT_EQ(std::vector<int>({e.Framing, e.Parity, e.Overrun, e.Break}), std::vector<int>({2, 0, 1, 1}));
    EXPECT_EQ(told, std::vector<int>{4});
}


// serbox-cli's --flow sets the line before the open, where no dialog is.
TEST_F(Line, FlowControlChosenWithoutTheDialogIsTheLines)
{
    auto handshake = [&] {
        const int fd = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        termios t{};
        const bool got = fd >= 0 && ::tcgetattr(fd, &t) == 0;
        ::close(fd);
        EXPECT_TRUE(got);
        return (t.c_cflag & CRTSCTS) != 0;
    };
    port.Open();
    EXPECT_TRUE(handshake()) << "hardware, as the window program starts";
    port.SetFlowControl(platform::FlowControl::None);
    EXPECT_FALSE(handshake()) << "set on the open port";
    port.Close();
    port.SetFlowControl(platform::FlowControl::Hardware);
    port.SetFlowControl(platform::FlowControl::None);
    port.Open();
    EXPECT_FALSE(handshake()) << "kept for the next open";
}
