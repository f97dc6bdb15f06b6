// The serial component on its Win32 port over a model of a real line
// (FakeComm_win.h): what a pseudo-terminal never does, a cable, a UART and a
// driver do.
#include <gtest/gtest.h>

#include <QTest>
#include <chrono>
#include <memory>

// The component's header before the system's, whose SetPort is a macro.
#include "platform/serial/SerialComponent.h"
#include "platform/serial/SerialTransport.h"
#include "platform/serial/CommCalls_win.h"
#include "tests/platform/serial/FakeComm_win.h"
#include "tests/platform/serial/HeldByCts.h"
#include "tests/platform/serial/OpenThatBlocks.h"

#undef SetPort  // the component's, not the print spooler's

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

struct Line : ::testing::Test {
    std::shared_ptr<FakeComm> comm = std::make_shared<FakeComm>();
    platform::SerialComponent port{nullptr, platform::MakeWin32Transport(comm)};
    std::string got;
    std::vector<std::string> errors;
    Line()
    {
        port.SetPort("COM1");
        port.OnRxChar = [this](int count) { port.ReadStr(got, count); };
        port.OnError = [this](const std::string& why) { errors.push_back(why); };
    }
};

}  // namespace

// On a UART the driver keeps the held write; a USB adapter's driver hands it to
// the chip at once and counts nothing queued. Then held again: a clear of the
// output aborts the held write; what is written after it goes at once, alone,
// and output-empty follows it.
TEST_F(Line, BytesHeldByCtsAreToldAndOutputEmptyWaitsForTheWire)
{
    for (size_t fifo : {0, 512}) {
        SCOPED_TRACE(fifo ? "USB adapter" : "UART");
        comm->UsbFifo = fifo;
        comm->Wire.clear();
        comm->Cts = false;
        port.SetBaudRate(1200);
        port.Open();
        HeldByCts cts;
        ASSERT_NO_FATAL_FAILURE(cts.Run(port, [&] { comm->SetCts(true); }, [&] { EXPECT_EQ(comm->Wire, ""); }));
        EXPECT_EQ(comm->Wire, "0123456789");

        comm->Cts = false;
        port.WriteStr("stale");
        ASSERT_TRUE(QTest::qWaitFor([&] { return comm->Pending() == "stale"; }, 3000));
        port.ClearBuffer(false, true);
        port.WriteStr("B");
        comm->SetCts(true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return cts.empties == 2; }, 3000)) << "wire: " << comm->Wire;
        EXPECT_EQ(comm->Wire, "0123456789B");
        QTest::qWait(100);  // and output-empty comes once per emptying
        EXPECT_EQ(cts.empties, 2);
        port.Close();
    }
}

// A port of any name opens through the device namespace, with the whole line in
// one state set once; a setting refused later is told, and the driver's own line
// stays under the next one. Then the adapter is pulled out.
TEST_F(Line, TheLineIsSetOnceAndARefusalIsToldWhenever)
{
    port.Bind("COM1", "CNCA0");
    port.SetBaudRate(9600);
    port.SetStopBits(platform::StopBits::Two);
    port.SetParityCheck(true);
    port.Open();
    EXPECT_EQ(comm->LastPath, L"\\\\.\\CNCA0");
    EXPECT_EQ(comm->StateSets, 1);
    const DCB& d = comm->Dcb;
    EXPECT_EQ(std::vector<int>({int(d.BaudRate), int(d.ByteSize), int(d.StopBits), int(d.fOutxCtsFlow),
                                int(d.fRtsControl), int(d.fDtrControl)}),
              std::vector<int>({9600, 8, TWOSTOPBITS, 1, RTS_CONTROL_HANDSHAKE, DTR_CONTROL_ENABLE}));

    comm->RefusedBaud = 19200;
    port.SetBaudRate(19200);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !errors.empty(); }, 3000));
    EXPECT_TRUE(errors[0].starts_with("CNCA0 refused the setting 19200 baud")) << errors[0];
    port.SetStopBits(platform::StopBits::One);
    QTest::qWait(50);
    EXPECT_EQ(errors.size(), 1u);
    EXPECT_EQ(std::vector<int>({int(d.BaudRate), int(d.StopBits)}), std::vector<int>({9600, ONESTOPBIT}));

    comm->Unplug();  // lost, told once
    ASSERT_TRUE(QTest::qWaitFor([&] { return errors.size() == 2; }, 3000));
    QTest::qWait(50);
    EXPECT_EQ(errors.size(), 2u);
    EXPECT_FALSE(port.Connected());
}

// Why an open failed, in words a technician can act on: the system's reason, or
// the setting the driver refused. A driver with a small buffer keeps its own
// XON/XOFF limits and opens.
TEST_F(Line, OpenFailuresKeepTheirReason)
{
    const std::pair<DWORD, const char*> cases[] = {
        {ERROR_SEM_TIMEOUT, "COM1 does not answer: a Bluetooth port whose device is switched off"},
        {ERROR_GEN_FAILURE, "COM1: the adapter does not work"},
        {ERROR_INVALID_NAME, "COM1 is not a port name Windows knows"},
        {ERROR_FILE_NOT_FOUND, "Device not found: COM1"},
        {ERROR_ACCESS_DENIED, "COM1 is busy: another program is using it"},
    };
    for (const auto& [error, words] : cases) {
        comm->OpenError = error;
        EXPECT_THROW(port.Open(), platform::EComPort);
        EXPECT_EQ(port.LastFailure().rfind(words, 0), 0u) << port.LastFailure();
    }
    comm->OpenError = 0;
    comm->RefusedBaud = 4800;
    EXPECT_THROW(port.Open(), platform::EComPort);
    EXPECT_FALSE(port.Connected());
    EXPECT_TRUE(port.LastFailure().starts_with("COM1 refused the setting 4800 baud, 8 data bits, no parity, 1 stop bit"))
        << port.LastFailure();

    comm->RefusedBaud = 0;
    comm->Buffer = 1024;
    port.Open();
    EXPECT_TRUE(port.Connected()) << port.LastFailure();
    EXPECT_EQ(comm->Dcb.BaudRate, 4800u);
    EXPECT_EQ(comm->Dcb.XonLim, 10);
    port.Close();
}

// CreateFile blocks, as on a Bluetooth port whose device is off.
TEST_F(Line, AnOpenThatBlocksIsToldBoundedAndCut)
{
    OpenThatBlocks(port, "COM1", [&](int ms) { comm->OpenTakesMs = ms; }, [&] { return comm->Opens.load(); },
                   [&] { return comm->HeldOpen(); });
}

// Framing, parity, overrun and break come with bytes: counted, each told once,
// and what setting the port up left is not the line's.
// Then a bulk read the driver still holds is cancelled: the bytes it had copied
// come all the same. A driver that does not give a cancelled request back
// freezes nothing: the port is told lost and closes within a second, and stays
// busy until the driver lets the request go, as a real one does.
TEST_F(Line, LineErrorsAreCountedAndACancelledReadKeepsItsBytesAndNoWaitIsUnbounded)
{
    comm->Errors = CE_RXPARITY;  // from the previous owner's line, as are these bytes
    comm->Input = "stale";
    port.Open();
    std::vector<int> told;
    port.OnLineErrors = [&](const platform::LineErrors& e) { told.push_back(e.Total()); };
    using Arrival = std::pair<std::string, DWORD>;  // bytes, and what the UART flagged with them
    for (const auto& [bytes, flags] : {Arrival{"ab", CE_FRAME}, Arrival{"c", CE_BREAK | CE_OVERRUN}, Arrival{"d", 0}}) {
        comm->Arrive(bytes, flags);
        ASSERT_TRUE(QTest::qWaitFor([&] { return got.ends_with(bytes); }, 3000)) << bytes;
    }
    const platform::LineErrors e = port.LineErrorsSeen();
    EXPECT_EQ(std::vector<int>({e.Framing, e.Parity, e.Overrun, e.Break}), std::vector<int>({1, 0, 1, 1}));
    EXPECT_EQ(told, std::vector<int>({1, 3}));

    comm->SlowBulkRead = true;
    comm->Arrive("ABC");
    ASSERT_TRUE(QTest::qWaitFor([&] { return got.size() >= 7; }, 5000));
    QTest::qWait(50);
    EXPECT_EQ(got, "abcdABC");

    comm->KeepsCancelled = true;
    comm->Arrive("DEF");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !errors.empty(); }, 5000));
    EXPECT_EQ(errors[0].rfind("COM1: device lost", 0), 0u) << errors[0];

    EXPECT_THROW(port.Open(), platform::EComPort);
    EXPECT_EQ(port.LastFailure().rfind("COM1 is still held by its driver", 0), 0u) << port.LastFailure();
    comm->GiveBack();
    comm->Input.clear();
    port.Open();  // its read waits for a byte, and the driver keeps it
    const auto start = Clock::now();
    port.Close();
    EXPECT_LT(Clock::now() - start, 2s);

    // A driver that let the port open again gives the kept read back while the
    // new one waits: that wakes no wait for the new one, which stays healthy.
    comm->Exclusive = false;
    comm->KeepsCancelled = false;
    port.Open();
    const int polls = comm->Polls;
    comm->GiveBack();
    QTest::qWait(100);  // a spin is seen only over time
    EXPECT_LE(comm->Polls - polls, 1);
    comm->Arrive("z");
    EXPECT_TRUE(QTest::qWaitFor([&] { return got.ends_with("z"); }, 3000)) << got;
}

// The system's own words come in its language, whole: on an Italian system
// "più" stays "più", never a byte of another code page. Run in Italian by the
// test windows_serial_words_in_italian.
TEST_F(Line, TheSystemsWordsAreWholeInItsLanguage)
{
    if (PRIMARYLANGID(::GetUserDefaultUILanguage()) != LANG_ITALIAN)
        GTEST_SKIP() << "the system speaks another language";
    comm->OpenError = ERROR_NO_MORE_FILES;
    EXPECT_THROW(port.Open(), platform::EComPort);
    EXPECT_EQ(port.LastFailure(), "COM1: Nessun file pi\xC3\xB9");
}
