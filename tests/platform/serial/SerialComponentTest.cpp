// The serial component on a pseudo-terminal: as the system's calls have it, and
// with a model of a real line's kernel side (LineCalls_unix.h) whose modem lines,
// view of the settings and line error counters are the model's.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <filesystem>
#include <memory>
#include <numeric>
#include <thread>

#include "platform/serial/LineCalls_unix.h"
#include "platform/serial/SerialComponent.h"
#include "platform/serial/SerialTransport.h"
#include "platform/serial/System.h"
#include "tests/platform/serial/HeldByCts.h"
#include "tests/platform/serial/OpenThatBlocks.h"
#include "tests/support/Pty.h"

using Clock = std::chrono::steady_clock;

namespace {

// The line as the device's end of the pseudo-terminal sees it.
termios LineOf(const std::string& path)
{
    termios t{};
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
    EXPECT_EQ(::tcgetattr(fd, &t), 0);
    ::close(fd);
    return t;
}

class FakeLine : public platform::LineCalls {
public:
    bool Cts = true;
    int Queued = 0;           // bytes the adapter holds while CTS is low
    speed_t KeptSpeed = 0;    // the driver keeps this speed whatever is set
    platform::LineCounters Counts;
    std::atomic<int> HangsMs{0}, Returned{0};  // the open's thread calls PseudoTerminal

    bool Attributes(int fd, termios* t) override
    {
        if (!real_->Attributes(fd, t))
            return false;
        if (KeptSpeed)
            cfsetospeed(t, KeptSpeed);
        return true;
    }
    // A line, as a serial port has; its driver may hang in this first call.
    bool PseudoTerminal(int) override
    {
        std::this_thread::sleep_for(std::chrono::milliseconds(HangsMs.load()));
        ++Returned;
        return false;
    }
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

// The component on the system's calls, or (Line) on the model of a real line.
struct Serial : ::testing::Test {
    Pty pty;
    std::shared_ptr<FakeLine> line = std::make_shared<FakeLine>();
    platform::SerialComponent port;
    explicit Serial(bool model = false)
        : port(nullptr, model ? platform::MakeQtTransport(line) : platform::MakeSerialTransport())
    {
        port.Bind("COM1", pty.path);
        port.SetPort("COM1");
    }
    // Baud and stop bits (a pty keeps 8 data bits).
    std::string BaudAndStop() const
    {
        const termios t = LineOf(pty.path);
        return std::string(cfgetospeed(&t) == B4800 ? "4800" : cfgetospeed(&t) == B9600 ? "9600" : "?") +
               (t.c_cflag & CSTOPB ? " 2" : " 1");
    }
};

struct Line : Serial {
    Line() : Serial(true) {}
};

}  // namespace

TEST_F(Serial, OpensWithTheStartSettingsAndEveryByteGoesBothWays)
{
    const platform::LineSettings l = port.Settings();
    EXPECT_TRUE(l.BaudRate == 4800 && l.DataBits == 8 && !l.ParityCheck);
    // Kept while closed and applied by Open; at once while open.
    port.SetBaudRate(9600);
    port.SetStopBits(platform::StopBits::Two);
    pty.Send("stale");  // from before the open: no reply to anything of ours
    port.Open();  // DTR and RTS on a pty must not stop it
    EXPECT_EQ(BaudAndStop(), "9600 2");
    port.SetBaudRate(4800);
    port.SetStopBits(platform::StopBits::One);
    EXPECT_EQ(BaudAndStop(), "4800 1");
    std::string all(256, '\0'), got;
    std::iota(all.begin(), all.end(), '\0');
    port.WriteStr(all);
    port.TransmitChar('\0');
    EXPECT_TRUE(QTest::qWaitFor([&] { got += pty.Drain(); return got.size() >= 257; }, 10000));
    EXPECT_EQ(got, all + std::string(1, '\0'));

    got.clear();
    port.OnRxChar = [&](int count) {  // a byte at a time, from what Qt handed over at once
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(port.ReadStr(got, 1), 1);
    };
    all += all + all;
    pty.Send(all);
    EXPECT_TRUE(QTest::qWaitFor([&] { return got.size() >= all.size(); }, 10000));
    EXPECT_EQ(got, all);
}

// The component takes what arrived from Qt in one read and hands it out as asked:
// the counts of the event and a clear of the input must not notice. Then the
// device goes: the port closes and says so once.
TEST_F(Serial, PartReadsKeepTheCountAClearTakesEverythingArrivedAndALostDeviceIsToldOnce)
{
    port.Open();
    std::vector<std::string> reports;
    port.OnError = [&](const std::string& why) { reports.push_back(why); };
    std::string got;
    std::vector<int> counts;
    port.OnRxChar = [&](int count) {
        counts.push_back(count);
        port.ReadStr(got, 1);  // the rest waits for the next event
    };
    pty.Send("abc");
    ASSERT_TRUE(QTest::qWaitFor([&] { return got == "a"; }, 10000));
    pty.Send("d");
    ASSERT_TRUE(QTest::qWaitFor([&] { return got == "ab"; }, 10000));
    EXPECT_EQ(counts, (std::vector<int>{3, 3}));

    bool cleared = false;
    port.OnRxChar = [&](int) {
        port.ReadStr(got, 2);
        port.ClearBuffer(true, false);
        cleared = true;
    };
    pty.Send("0123456789");
    ASSERT_TRUE(QTest::qWaitFor([&] { return cleared; }, 10000));
    std::string after;
    port.OnRxChar = [&](int count) { port.ReadStr(after, count); };
    pty.Send("XY");
    ASSERT_TRUE(QTest::qWaitFor([&] { return after.size() >= 2 && after.substr(after.size() - 2) == "XY"; }, 10000));
    EXPECT_EQ(after.find_first_of("23"), std::string::npos);  // taken from Qt before the clear

    pty.Close();  // the adapter pulled out
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.empty(); }, 10000));
    // Closed by then: nothing more can come from the port but what it queued before.
    EXPECT_FALSE(port.Connected());
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    ASSERT_EQ(reports.size(), 1u);
    // The line's reason, whichever call noticed (here EIO, elsewhere EAGAIN or ENOTTY).
    EXPECT_EQ(reports[0], "COM1: device lost (the line went away: the adapter unplugged, the device switched off or "
                          "its cable pulled, or the program at the other end closed it)");
}

// The clock decides: held short of the line time of everything written, as the
// line is set (start, data and stop bits), and the adapter's latency, the event
// waits however often the component looks; at that time it comes.
TEST_F(Serial, OutputEmptyComesAtTheLineTimeOfEverythingWrittenAndTheAdaptersLatency)
{
    Clock::time_point now = Clock::now();
    int looked = 0, empties = 0;
    port.SetClock([&] { return ++looked, now; });
    port.SetStopBits(platform::StopBits::Two);
    port.Open();
    port.OnTxEmpty = [&] { ++empties; };
    const auto looksTwice = [&] {
        const int from = looked;
        return QTest::qWaitFor([&] { return pty.Drain(), looked >= from + 2; }, 10000);
    };
    port.WriteStr(std::string(24, 'x'));  // 55 ms on the line at 4800 baud, 8N2
    port.WriteStr(std::string(24, 'x'));  // and 55 ms after those
    ASSERT_TRUE(looksTwice());
    now += std::chrono::milliseconds(110 + 17 - 1);
    ASSERT_TRUE(looksTwice());
    EXPECT_EQ(empties, 0);
    now += std::chrono::milliseconds(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return pty.Drain(), empties == 1; }, 10000));
}

// The setup dialog's port is taken on OK only.
TEST_F(Serial, TheSetupDialogsChoiceIsTakenOnOkOnly)
{
    for (auto button : {QDialogButtonBox::Cancel, QDialogButtonBox::Ok}) {
        QTimer poll;  // the dialog is modal: answered from the event loop
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            dialog->findChild<QComboBox*>("port")->setCurrentText("COM2");
            dialog->findChild<QDialogButtonBox*>()->button(button)->click();
        });
        poll.start(20);
        port.ShowSetupDialog();
        EXPECT_EQ(port.Port(), button == QDialogButtonBox::Ok ? "COM2" : "COM1");
    }
}

// On a UART the driver counts the held bytes; a USB adapter's chip holds them
// where TIOCOUTQ does not see them. Held again, then the port closes: nothing
// waits on the line any more.
TEST_F(Line, BytesHeldByCtsAreToldAndOutputEmptyWaitsForTheWire)
{
    port.SetBaudRate(1200);
    for (int queued : {10, 0}) {
        SCOPED_TRACE(queued ? "UART" : "USB adapter");
        port.Open();
        line->Cts = false;
        line->Queued = queued;
        HeldByCts cts;
        ASSERT_NO_FATAL_FAILURE(cts.Run(port, [&] { line->Cts = true; }));
        line->Cts = false;
        port.WriteStr("x");
        ASSERT_TRUE(QTest::qWaitFor([&] { return cts.held.size() == 3; }, 5000));
        port.Close();
        ASSERT_TRUE(QTest::qWaitFor([&] { return cts.held.size() == 4; }, 5000));
        EXPECT_EQ(cts.held, (std::vector<bool>{true, false, true, false}));
        line->Cts = true;
    }
}

// No device, a name that stands for none, the driver did not take the speed (read
// back), or a pseudo-terminal's line cannot carry 7 data bits: the open fails with
// what was wrong. Otherwise the line is as chosen.
TEST_F(Line, TheOpenSetsTheLineAsChosenOrFailsWithWhatWasRefused)
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

    std::vector<std::string> told;  // refused on the open port, each time
    port.OnError = [&](const std::string& why) { told.push_back(why); };
    line->KeptSpeed = B4800;
    port.SetBaudRate(9600);
    port.SetBaudRate(19200);
    ASSERT_TRUE(QTest::qWaitFor([&] { return told.size() == 2; }, 5000));
    EXPECT_TRUE(told[1].starts_with(pty.path + " refused the setting 19200 baud")) << told[1];
    line->KeptSpeed = 0;
    port.SetBaudRate(4800);

    // Flow control: serbox-cli's --flow sets it before the open, where no dialog is.
    auto handshake = [&] { return (LineOf(pty.path).c_cflag & CRTSCTS) != 0; };
    EXPECT_TRUE(handshake()) << "hardware, as the window program starts";
    port.SetFlowControl(platform::FlowControl::None);
    EXPECT_FALSE(handshake()) << "set on the open port";
    port.Close();
    port.SetFlowControl(platform::FlowControl::Hardware);
    port.SetFlowControl(platform::FlowControl::None);
    port.Open();
    EXPECT_FALSE(handshake()) << "kept for the next open";
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

// A driver that hangs in the first call on the port (an rfcomm port whose device
// is off, a hung USB adapter).
TEST_F(Line, AnOpenThatBlocksIsToldBoundedAndCut)
{
    OpenThatBlocks(port, pty.path, [&](int ms) { line->HangsMs = ms; }, [&] { return line->Returned.load(); }, [&] {
        std::error_code ec;
        for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd"))
            if (std::filesystem::read_symlink(fd.path(), ec) == pty.path)
                return true;
        return false;
    });
}
