#include <gtest/gtest.h>

#include "link/Keyboard.h"
#include "link/PortSelection.h"
#include "link/Watchdog.h"
#include "link/Router.h"
#include "receive/Dispatcher.h"
#include "transmit/Pacing.h"
#include "tests/fakes/FakeForm1.h"

namespace {

const std::string kSettings = "BaudRate 4800, DataBits 8, StopBits 1, ParityCheck off, DtrControl enable, DTR on, RTS on";

struct Link : ::testing::Test {
    FakeForm1 F;
    ProgramState S;
    Link() { Reset(); }
    void Reset(int stage = 0)
    {
        S = ProgramState{};
        S.LanguageFlag = 1;
        S.PortPromptStage = stage;
        F.ComPort1.OnRxChar = [this](int n) { ComPort1RxChar(S, F.C, n); };
    }
    std::string LastOps(size_t n)
    {
        std::string ops;
        for (size_t i = F.ComPort1.Ops.size() - n; i < F.ComPort1.Ops.size(); ++i)
            ops += (ops.empty() ? "" : ", ") + F.ComPort1.Ops[i];
        return ops;
    }
    void Ticks(int n)
    {
        while (n-- > 0)
            Timer1Timer(S, F.C);
    }
};

}  // namespace

TEST_F(Link, PortSelectionFallsBackOnceThenReports)
{
    // Nothing to fall back on: the failure is told, no other port tried.
    F.ComPort1.FailingNames = {"COM2"};
    SelectPort(S, F.C, 2);
    EXPECT_EQ(F.Form3.Text + LastOps(1), "Serial port not readyOpen COM2");
    F.ComPort1.FailingNames.clear();
    SelectPort(S, F.C, 1);
    EXPECT_EQ(F.Form1.title, "KORVEL SU COM 1");
    EXPECT_EQ(LastOps(10), "Close, SetPort COM1, Open COM1, " + kSettings);
    // A port that will not open: back to the previous one, settings and all.
    for (int back : {4, 1}) {
        SelectPort(S, F.C, back);
        F.ComPort1.FailingNames = {"COM3"};
        SelectPort(S, F.C, 3);
        const std::string name = "COM" + std::to_string(back);
        EXPECT_EQ(F.Form1.title + F.ComPort1.Name, "KORVEL SU " + name + name);
        EXPECT_TRUE(F.ComPort1.Opened && S.PortNumber == back);
        EXPECT_EQ(LastOps(7), kSettings);
        F.ComPort1.FailingNames.clear();
    }
    EXPECT_EQ(F.Sound.Beeps, 3);
    // The previous port failing as well reaches the standard report.
    F.ComPort1.FailingNames = {"COM1", "COM4"};
    EXPECT_THROW(SelectPort(S, F.C, 4), platform::EComPort);
    EXPECT_TRUE(S.PortNumber == 4 && !F.ComPort1.Opened && F.Form3.Shows == 3);
    // Choosing the same port again does nothing, even after it failed.
    const size_t ops = F.ComPort1.Ops.size();
    SelectPort(S, F.C, 4);
    EXPECT_EQ(F.ComPort1.Ops.size(), ops);
}

TEST_F(Link, PortRequestUntilAcknowledgedThenSetupDialog)
{
    S.NulPending = 1;
    Ticks(3);
    EXPECT_EQ(F.Form3.Caption, "WARNING");
    // Asked at each tick, no dialog yet, no zero byte while asking for a port.
    EXPECT_TRUE(F.Form3.Shows == 3 && F.ComPort1.SetupDialogs == 0 && F.ComPort1.Writes.empty());
    S.PortPromptStage = 1;  // the dialog was acknowledged
    SelectPort(S, F.C, 1);  // and meanwhile Setup > COM 1, then COM 2 under a reception's request
    S.RxState = 2;
    SelectPort(S, F.C, 2);
    EXPECT_EQ(F.Memo2.Text(), "TRASFERIMENTO INTERROTTO");  // in both builds
    S.TxState = 2;
    F.ComPort1.NameChosenInSetup = "COM3";
    Ticks(2);
    EXPECT_TRUE(F.ComPort1.SetupDialogs == 1 && S.PortPromptStage == 2);
    EXPECT_EQ(F.Form1.title, "KORVEL SU COM3");
    // What the dialog chose is opened, not the port already open, and the old
    // line's exchange ends with it.
    EXPECT_EQ(LastOps(2), "Close, Open COM3");
    EXPECT_TRUE(S.PortNumber == 3 && S.TxState == 0 && F.Sound.Beeps == 2);
}

// The name the setup dialog hands back, the port picked from the menu before it;
// only COM1..COM4 are opened, and only a port that exists is tried.
TEST_F(Link, TheStartUpDialogsNameDecides)
{
    const std::tuple<const char*, int, bool> cases[] = {
        {"COM1", 0, true}, {"COM4", 0, true}, {"COM5", 0, false}, {"COM5", 3, false}, {"COM2", 0, false}};
    for (const auto& [name, before, opened] : cases) {
        FakeForm1 G;
        Reset(1);
        S.PortNumber = before;
        G.ComPort1.NameChosenInSetup = name;
        G.ComPort1.FailingNames = {"COM2"};
        Timer1Timer(S, G.C);
        const bool known = name[3] != '5';
        EXPECT_TRUE(G.ComPort1.Opened == opened && S.ErrorKind == !opened) << name;
        EXPECT_EQ(S.PortNumber, known ? name[3] - '0' : before) << name;
        EXPECT_EQ(G.Form1.title, known ? "KORVEL SU " + std::string(name) : "") << name;
        EXPECT_EQ(G.Sound.Beeps, known && !opened) << name;
    }
}

TEST_F(Link, TimeOutAtTheNinetyFirstBusyTickAndNotAfterAnIdleOne)
{
    S.PortPromptStage = 2;
    Ticks(200);  // idle: never
    EXPECT_EQ(F.Form3.Shows, 0);
    S.TxState = 2;
    Ticks(60);
    S.TxState = 0;
    Ticks(1);  // idle: the count starts again
    S.TxState = 2;
    Ticks(60);
    EXPECT_EQ(S.TxState, 2);
    // Nor for a transfer that the device starts between two ticks, as soon as
    // the one before ended: its ticks are its own.
    S.TxState = S.RxState = 0;
    F.Edit1.SetText("P.TXT");
    F.ComPort1.Receive("\x1B" "A" "\x1B" "C");
    ASSERT_EQ(S.RxState, 2);
    Ticks(90);
    EXPECT_TRUE(S.RxState == 2 && F.Form3.Shows == 0);

    Reset(2);
    S.RxState = 5;
    S.EscSeen = 1;
    S.HdrSendActive = 1;
    S.HdrSendOffset = 40;
    F.ProgressBar1.visible = true;
    F.ProgressBar1.position = 50;
    Ticks(90);
    EXPECT_EQ(S.RxState, 5);
    S.NulPending = 1;  // still pending at the time-out
    S.NulArmed = 0;
    Ticks(1);
    EXPECT_EQ(S.RxState + S.TxState + S.WatchdogTicks + S.HdrSendActive + S.HdrSendOffset, 0);
    EXPECT_EQ(F.Form3.Text + LastOps(1), "Serial port time outClearBuffer");
    EXPECT_TRUE(!F.ProgressBar1.visible && F.ProgressBar1.position == 0 && F.Sound.Beeps == 1);
    EXPECT_EQ(S.EscSeen, 1);  // left as it was
    Ticks(1);  // the zero byte still goes out
    EXPECT_EQ(F.ComPort1.Writes, std::vector<std::string>{std::string(1, '\0')});
    // A device that only polls in command state is timed out all the same.
    Reset(2);
    F.Form3.Text.clear();
    F.ComPort1.Receive("\x1B" "A");
    for (int i = 0; i < 91; ++i, F.ComPort1.Receive("\x1B" "I"))
        Ticks(1);
    EXPECT_EQ(F.Form3.Text, "Serial port time out");
}

// Only a transfer cut short is reported; the e2e fault tests follow a lost port
// through to the report and a new device.
TEST_F(Link, LostPortEndsTheExchange)
{
    S.PortPromptStage = 2;
    SelectPort(S, F.C, 2);
    F.ComPort1.Close();
    S.RxState = 1;
    EXPECT_FALSE(PortLost(S, F.C));  // command state ends, no transfer lost
    EXPECT_EQ(S.RxState, 0);
    S.TxState = 2;
    S.WatchdogTicks = 30;
    F.ProgressBar1.visible = true;
    EXPECT_TRUE(PortLost(S, F.C));
    EXPECT_TRUE(S.TxState + S.WatchdogTicks == 0 && !F.ProgressBar1.visible);
    EXPECT_EQ(F.Form3.Shows, 0);  // the component's own report tells it
    EXPECT_EQ(F.Form1.title, "KORVEL SU COM 0");
}

// Whatever the old line left half done stays with it, whether the adapter
// vanished or the user switched ports: a header still being paced after its
// transmission ended, an ESC, a partial line, an owed zero byte.
TEST_F(Link, NothingOfTheOldLineReachesTheNextDevice)
{
    for (bool lost : {true, false}) {
        Reset(2);
        SelectPort(S, F.C, 2);
        F.Files.Files["/d/H.hdr"] = std::string(128, 'h');
        S.TxHdrPath = "/d/H.hdr";
        S.HdrSendActive = 1;  // both machines idle, pacing on
        S.HdrSendOffset = 40;
        S.EscSeen = 1;
        S.RxText = "half a li";
        S.NulPending = 1;
        F.Memo1.Lines.clear();
        F.ComPort1.Writes.clear();
        if (lost)
            EXPECT_FALSE(PortLost(S, F.C));
        else
            SelectPort(S, F.C, 3);
        ComPort1TxEmpty(S);
        Timer2Timer(S, F.C);
        Ticks(2);
        F.ComPort1.Receive("A\r\nne\n");  // the next device's first bytes
        EXPECT_TRUE(F.ComPort1.Writes.empty()) << lost;
        EXPECT_EQ(S.RxState, 0) << "an ESC from the old device made a pair";
        EXPECT_EQ(F.Memo1.Lines, (std::vector<std::string>{"A", "ne"})) << lost;
    }
}

TEST_F(Link, KeysSendTheirVirtualKeyByteAndFOneToNineAloneAreMenuKeys)
{
    const platform::KeyModifiers none, shift{true, false, false}, ctrl{false, true, false}, alt{false, false, true};
    const std::pair<int, platform::KeyModifiers> keys[] = {
        {0x41, shift}, {0x10, shift}, {0x31, shift}, {0x43, ctrl}, {0x52, ctrl}, {0x11, ctrl},
        {0x41, ctrl},  {0x43, {true, true, false}}, {0x11, alt}, {0x79, none}, {0x0D, none}, {0, none},
        {0x63, ctrl},  {0x72, ctrl}};  // the codes of 'c' and 'r' too, as they always have
    for (auto [vk, mods] : keys)
        Memo2KeyDown(S, F.C, vk, mods);
    KonF51Click(S, F.C);
    KoffF61Click(S, F.C);
    EXPECT_EQ(F.ComPort1.Writes, (std::vector<std::string>{"\x41", "\x10", "\x31", "\x03", "\x12", "\x41", "\x43",
                                                            "\x11", "\x79", "\x0D", "\x03", "\x12", "\x07\x07\x07\x11",
                                                            "\x07\x07\x07\x12"}));
    const std::tuple<int, platform::KeyModifiers, int> menu[] = {
        {0x70, none, 1}, {0x78, none, 9}, {0x79, none, 0}, {0x6F, none, 0},
        {0x74, shift, 0}, {0x74, ctrl, 0}, {0x74, alt, 0}, {0x41, none, 0}};
    for (auto [vk, mods, item] : menu)
        EXPECT_EQ(MenuKey(vk, mods), item) << vk;
}
