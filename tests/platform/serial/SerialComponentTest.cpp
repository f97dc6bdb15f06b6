#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <numeric>

#include "platform/serial/PortNames.h"
#include "platform/serial/SerialComponent.h"
#include "tests/support/Pty.h"
#include "tests/support/TempDir.h"

using Clock = std::chrono::steady_clock;

namespace {

struct Serial : ::testing::Test {
    Pty pty;
    platform::SerialComponent port;
    Serial()
    {
        port.Bind("COM1", pty.path);
        port.SetPort("COM1");
    }
    // The line as the device's end sees it: baud and stop bits (a pty keeps 8 data bits).
    std::string Line() const
    {
        termios t{};
        const int fd = ::open(pty.path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        ::tcgetattr(fd, &t);
        ::close(fd);
        return std::string(cfgetospeed(&t) == B4800 ? "4800" : cfgetospeed(&t) == B9600 ? "9600" : "?") +
               (t.c_cflag & CSTOPB ? " 2" : " 1");
    }
};

}  // namespace

TEST_F(Serial, OpensWithTheStartSettingsAndEveryByteGoesBothWays)
{
    const platform::LineSettings l = port.Settings();
    EXPECT_TRUE(l.BaudRate == 4800 && l.DataBits == 8 && !l.ParityCheck);
    // Kept while closed and applied by Open; at once while open.
    port.SetBaudRate(9600);
    port.SetStopBits(platform::StopBits::Two);
    port.Open();  // DTR and RTS on a pty must not stop it
    EXPECT_EQ(Line(), "9600 2");
    port.SetBaudRate(4800);
    port.SetStopBits(platform::StopBits::One);
    EXPECT_EQ(Line(), "4800 1");
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
// the counts of the event and a clear of the input must not notice.
TEST_F(Serial, PartReadsKeepTheCountAndAClearTakesEverythingArrived)
{
    port.Open();
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
}

// The clock decides: held short of the line time of everything written, the event
// waits however often the component looks; at the line time it comes.
TEST_F(Serial, OutputEmptyComesAtTheLineTimeOfEverythingWritten)
{
    Clock::time_point now = Clock::now();
    int looked = 0, empties = 0;
    port.SetClock([&] { return ++looked, now; });
    port.Open();
    port.OnTxEmpty = [&] { ++empties; };
    const auto looksTwice = [&] {
        const int from = looked;
        return QTest::qWaitFor([&] { return pty.Drain(), looked >= from + 2; }, 10000);
    };
    port.WriteStr(std::string(24, 'x'));  // 50 ms on the line at 4800 baud
    port.WriteStr(std::string(24, 'x'));  // and 50 ms after those
    ASSERT_TRUE(looksTwice());
    now += std::chrono::milliseconds(99);
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

TEST_F(Serial, AVanishedDeviceIsClosedAndReportedOnce)
{
    port.Open();
    std::vector<std::string> reports;
    port.OnError = [&](const std::string& why) { reports.push_back(why); };
    std::string got;
    port.OnRxChar = [&](int count) { port.ReadStr(got, count); };
    pty.Send("last");
    ASSERT_TRUE(QTest::qWaitFor([&] { return got == "last"; }, 10000));
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
