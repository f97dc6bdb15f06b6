#include <gtest/gtest.h>

#include "link/Keyboard.h"
#include "link/PortSelection.h"
#include "link/Watchdog.h"
#include "receive/Dispatcher.h"
#include "transmit/Pacing.h"
#include "tests/fakes/FakeForm1.h"

namespace {

struct Link : ::testing::Test {
    FakeForm1 F;
    ProgramState S;
    Link()
    {
        S.LanguageFlag = 1;
        F.ComPort1.OnRxChar = [this](int n) { ComPort1RxChar(S, F.C, n); };
    }
    const std::vector<std::string> kSettings = {"BaudRate 4800", "DataBits 8",        "StopBits 1",
                                                "ParityCheck off", "DtrControl enable", "DTR on",
                                                "RTS on"};
    std::vector<std::string> Tail(size_t n)
    {
        auto& ops = F.ComPort1.Ops;
        return {ops.end() - static_cast<long>(n), ops.end()};
    }
};

}  // namespace

TEST_F(Link, SelectionOpensAndAppliesTheSettingsInOrder)
{
    SelectPort(S, F.C, 3);
    EXPECT_EQ(F.Form1.title, "KORVEL SU COM 3");
    EXPECT_EQ(S.PortNumber, 3);
    EXPECT_TRUE(F.ComPort1.Opened);
    EXPECT_EQ(Tail(7), kSettings);
    EXPECT_EQ(F.Form3.Shows, 0);
}

TEST_F(Link, FailedSwitchFallsBackToThePreviousPort)
{
    SelectPort(S, F.C, 1);
    F.ComPort1.FailingNames = {"COM3"};
    F.ComPort1.Ops.clear();
    SelectPort(S, F.C, 3);
    EXPECT_EQ(F.Sound.Beeps, 1);
    EXPECT_EQ(F.Form1.title, "KORVEL SU COM1");
    EXPECT_EQ(F.ComPort1.Name, "COM1");
    EXPECT_TRUE(F.ComPort1.Opened);
    EXPECT_EQ(S.PortNumber, 1);
    EXPECT_EQ(F.Form3.Text, "Serial port not ready");
    EXPECT_EQ(S.ErrorKind, 1);
    EXPECT_EQ(Tail(7), kSettings);
}

TEST_F(Link, SamePortDoesNothingEvenAfterItFailed)
{
    F.ComPort1.FailingNames = {"COM2"};
    SelectPort(S, F.C, 2);
    EXPECT_EQ(S.PortNumber, 2);
    EXPECT_FALSE(F.ComPort1.Opened);
    const size_t ops = F.ComPort1.Ops.size();
    SelectPort(S, F.C, 2);
    EXPECT_EQ(F.ComPort1.Ops.size(), ops);
}

TEST_F(Link, SecondFailureReachesTheStandardReport)
{
    SelectPort(S, F.C, 1);
    F.ComPort1.FailingNames = {"COM1", "COM4"};
    EXPECT_THROW(SelectPort(S, F.C, 4), platform::EComPort);
    EXPECT_EQ(S.PortNumber, 4);
    EXPECT_EQ(F.ComPort1.Name, "COM1");
    EXPECT_FALSE(F.ComPort1.Opened);
    EXPECT_EQ(F.Form1.title, "KORVEL SU COM1");
    EXPECT_EQ(F.Form3.Shows, 0);
}

TEST_F(Link, PortRequestUntilAcknowledgedThenSetupDialog)
{
    for (int i = 0; i < 3; ++i)
        Timer1Timer(S, F.C);
    EXPECT_EQ(F.Form3.Shows, 3);
    EXPECT_EQ(F.Form3.Caption, "WARNING");
    EXPECT_EQ(S.ErrorKind, 10);
    EXPECT_EQ(F.ComPort1.SetupDialogs, 0);
    S.PortPromptStage = 1;  // the dialog was acknowledged
    F.ComPort1.NameChosenInSetup = "COM3";
    Timer1Timer(S, F.C);
    EXPECT_EQ(F.ComPort1.SetupDialogs, 1);
    EXPECT_EQ(S.PortPromptStage, 2);
    EXPECT_EQ(S.PortNumber, 3);
    EXPECT_EQ(F.Form1.title, "KORVEL SU COM3");
    EXPECT_TRUE(F.ComPort1.Opened);
    Timer1Timer(S, F.C);
    EXPECT_EQ(F.ComPort1.SetupDialogs, 1);
}

TEST_F(Link, UnknownOrUnopenablePortAtStartUp)
{
    S.PortPromptStage = 1;
    F.ComPort1.NameChosenInSetup = "COM5";
    Timer1Timer(S, F.C);
    EXPECT_EQ(S.ErrorKind, 1);
    EXPECT_EQ(F.Sound.Beeps, 0);
    EXPECT_FALSE(F.ComPort1.Opened);

    ProgramState S2;
    FakeForm1 G;
    S2.PortPromptStage = 1;
    G.ComPort1.NameChosenInSetup = "COM2";
    G.ComPort1.FailingNames = {"COM2"};
    Timer1Timer(S2, G.C);
    EXPECT_EQ(S2.ErrorKind, 1);
    EXPECT_EQ(G.Sound.Beeps, 1);
    EXPECT_EQ(S2.PortNumber, 2);
    EXPECT_EQ(G.Form1.title, "KORVEL SU COM2");
}

TEST_F(Link, TimeOutAtTheNinetyFirstBusyTick)
{
    S.PortPromptStage = 2;
    S.RxState = 5;
    S.EscSeen = 1;
    S.HdrSendActive = 1;
    S.HdrSendOffset = 40;
    F.ProgressBar1.visible = true;
    F.ProgressBar1.position = 30;
    for (int i = 0; i < 90; ++i)
        Timer1Timer(S, F.C);
    EXPECT_EQ(S.RxState, 5);
    S.NulPending = 1;  // still pending at the time-out
    S.NulArmed = 0;
    Timer1Timer(S, F.C);
    EXPECT_EQ(S.RxState, 0);
    EXPECT_EQ(S.TxState, 0);
    EXPECT_EQ(S.WatchdogTicks, 0);
    EXPECT_EQ(S.ErrorKind, 4);
    EXPECT_EQ(F.Form3.Text, "Serial port time out");
    EXPECT_FALSE(F.ProgressBar1.visible);
    EXPECT_EQ(F.ProgressBar1.position, 0);
    EXPECT_EQ(F.Sound.Beeps, 1);
    EXPECT_EQ(S.EscSeen, 1);  // left as it was
    EXPECT_EQ(S.HdrSendActive, 0);
    EXPECT_EQ(S.HdrSendOffset, 0);
    EXPECT_EQ(F.ComPort1.Ops.back(), "ClearBuffer");
    Timer1Timer(S, F.C);  // the zero byte still goes out
    EXPECT_EQ(F.ComPort1.Writes, std::vector<std::string>{std::string(1, '\0')});
}

TEST_F(Link, LostPortEndsTheExchangeAndItsPendingZeroByte)
{
    S.PortPromptStage = 2;
    SelectPort(S, F.C, 2);
    F.ComPort1.Close();
    EXPECT_FALSE(PortLost(S, F.C));  // idle: nothing to end
    S.RxState = 1;
    EXPECT_FALSE(PortLost(S, F.C));  // command state ends, no transfer lost
    EXPECT_EQ(S.RxState, 0);
    S.TxState = 2;
    S.RxState = 100;
    S.HdrSendActive = 1;
    S.HdrSendOffset = 17;
    S.NulPending = 1;
    S.NulArmed = 1;
    S.WatchdogTicks = 30;
    F.ProgressBar1.visible = true;
    EXPECT_TRUE(PortLost(S, F.C));
    EXPECT_EQ(S.RxState, 0);
    EXPECT_EQ(S.TxState, 0);
    EXPECT_EQ(S.HdrSendActive, 0);
    EXPECT_EQ(S.HdrSendOffset, 0);
    EXPECT_FALSE(F.ProgressBar1.visible);
    EXPECT_EQ(F.Form3.Shows, 0);  // the component's own report tells it
    Timer1Timer(S, F.C);
    Timer1Timer(S, F.C);
    EXPECT_TRUE(F.ComPort1.Writes.empty());  // no zero byte for the next device
    EXPECT_EQ(S.WatchdogTicks, 0);
    EXPECT_EQ(F.Form1.title, "KORVEL SU COM 0");
    SelectPort(S, F.C, 2);  // the same port as before the loss opens again
    EXPECT_TRUE(F.ComPort1.Opened);
    EXPECT_EQ(S.PortNumber, 2);
}

// Whatever the old line left half done stays with it, whether the adapter
// vanished or the user switched ports: a header still being paced after its
// transmission ended, an ESC, a partial line, an owed zero byte.
TEST_F(Link, NothingOfTheOldLineReachesTheNextDevice)
{
    for (bool lost : {true, false}) {
        S = ProgramState{};
        S.LanguageFlag = 1;
        S.PortPromptStage = 2;
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
        Timer1Timer(S, F.C);
        Timer1Timer(S, F.C);
        F.ComPort1.Receive("A\r\nne\n");  // the next device's first bytes
        EXPECT_TRUE(F.ComPort1.Writes.empty()) << lost;
        EXPECT_EQ(S.RxState, 0) << "an ESC from the old device made a pair";
        EXPECT_EQ(F.Memo1.Lines, (std::vector<std::string>{"A", "ne"})) << lost;
    }
}

TEST_F(Link, SwitchingPortsUnderATransferAbandonsItPlainly)
{
    S.PortPromptStage = 2;
    SelectPort(S, F.C, 1);
    S.RxState = 5;
    S.WatchdogTicks = 12;
    F.ProgressBar1.visible = true;
    F.Memo2.SetText("RICEZIONE IN CORSO");
    SelectPort(S, F.C, 2);
    EXPECT_EQ(S.RxState, 0);
    EXPECT_FALSE(F.ProgressBar1.visible);
    EXPECT_EQ(F.Memo2.Text(), "TRANSFER ABANDONED");
    EXPECT_EQ(F.Sound.Beeps, 1);
    EXPECT_EQ(S.PortNumber, 2);
}

TEST_F(Link, IdleTickRestartsTheCount)
{
    S.PortPromptStage = 2;
    S.TxState = 2;
    for (int i = 0; i < 60; ++i)
        Timer1Timer(S, F.C);
    S.TxState = 0;
    Timer1Timer(S, F.C);
    S.TxState = 2;
    for (int i = 0; i < 60; ++i)
        Timer1Timer(S, F.C);
    EXPECT_EQ(S.TxState, 2);
    EXPECT_EQ(F.Form3.Shows, 0);
}

TEST_F(Link, ZeroByteAtTheSecondTickAndNoneWhileAskingForAPort)
{
    S.NulPending = 1;
    Timer1Timer(S, F.C);
    Timer1Timer(S, F.C);
    EXPECT_TRUE(F.ComPort1.Writes.empty());  // stage 0 keeps disarming it
    S.PortPromptStage = 2;  // armed by the last tick: goes out now
    Timer1Timer(S, F.C);
    EXPECT_EQ(F.ComPort1.Writes, std::vector<std::string>{std::string(1, '\0')});
    EXPECT_EQ(S.NulPending, 0);
    Timer1Timer(S, F.C);
    EXPECT_EQ(F.ComPort1.Writes.size(), 1u);
}

TEST_F(Link, KeysSendTheirVirtualKeyByte)
{
    platform::KeyModifiers none, shift{true, false, false}, ctrl{false, true, false},
        ctrlShift{true, true, false}, alt{false, false, true};
    Memo2KeyDown(S, F.C, 0x41, shift);
    Memo2KeyDown(S, F.C, 0x10, shift);  // Shift+1
    Memo2KeyDown(S, F.C, 0x31, shift);
    Memo2KeyDown(S, F.C, 0x43, ctrl);
    Memo2KeyDown(S, F.C, 0x52, ctrl);
    Memo2KeyDown(S, F.C, 0x11, ctrl);  // nothing
    Memo2KeyDown(S, F.C, 0x41, ctrl);
    Memo2KeyDown(S, F.C, 0x43, ctrlShift);
    Memo2KeyDown(S, F.C, 0x11, alt);
    Memo2KeyDown(S, F.C, 0x79, none);
    Memo2KeyDown(S, F.C, 0x0D, none);
    EXPECT_EQ(F.ComPort1.Writes, (std::vector<std::string>{"\x41", "\x10", "\x31", "\x03", "\x12", "\x41",
                                                            "\x43", "\x11", "\x79", "\x0D"}));
    F.ComPort1.Writes.clear();
    KonF51Click(S, F.C);
    KoffF61Click(S, F.C);
    EXPECT_EQ(F.ComPort1.Writes, (std::vector<std::string>{"\x07\x07\x07\x11", "\x07\x07\x07\x12"}));
}

TEST_F(Link, FunctionKeysOneToNineAloneAreMenuKeys)
{
    platform::KeyModifiers none, shift{true, false, false}, ctrl{false, true, false}, alt{false, false, true};
    EXPECT_EQ(MenuKey(0x70, none), 1);   // F1
    EXPECT_EQ(MenuKey(0x74, none), 5);   // F5
    EXPECT_EQ(MenuKey(0x78, none), 9);   // F9
    EXPECT_EQ(MenuKey(0x79, none), 0);   // F10 goes to the device
    EXPECT_EQ(MenuKey(0x6F, none), 0);
    EXPECT_EQ(MenuKey(0x74, shift), 0);  // Shift+F5 goes to the device as 74
    EXPECT_EQ(MenuKey(0x74, ctrl), 0);
    EXPECT_EQ(MenuKey(0x74, alt), 0);
    EXPECT_EQ(MenuKey(0x41, none), 0);
}
