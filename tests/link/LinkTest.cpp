#include <gtest/gtest.h>

#include <tuple>

#include "link/Keyboard.h"
#include "link/PortSelection.h"
#include "link/Watchdog.h"
#include "link/Router.h"
#include "receive/Dispatcher.h"
#include "transmit/Pacing.h"
#include "tests/fakes/FakeForm1.h"

namespace {

struct Link : ::testing::Test, FakeProgram {
    void Ticks(int n)
    {
        while (n-- > 0)
            Timer1Timer(S, C);
    }
    // The line settings and the DTR and RTS lines, as the port has them now.
    auto LineNow() const
    {
        const FakeSerialPort& p = F.ComPort1;
        return std::tuple(p.Line.BaudRate, p.Line.DataBits, int(p.Line.Stop), p.Line.ParityCheck, int(p.Line.Dtr), p.Dtr, p.Rts);
    }
    void Disturb()
    {
        F.ComPort1.Line = {9600, 7, platform::StopBits::Two, platform::Parity::Even, true, platform::DtrControl::Disable};
        F.ComPort1.Dtr = F.ComPort1.Rts = false;
    }
};

// 4800 baud, 8 data bits, 1 stop bit, no parity check, DTR control on, DTR and RTS raised.
const auto kDeviceLine = std::tuple(4800, 8, int(platform::StopBits::One), false, int(platform::DtrControl::Enable), true, true);

}  // namespace

TEST_F(Link, PortSelectionFallsBackOnceThenReports)
{
    // Nothing to fall back on: the failure is told, no other port tried.
    F.ComPort1.FailingNames = {"COM2"};
    SelectPort(S, C, 2);
    EXPECT_EQ(F.Form3.Text, "Serial port not ready");
    EXPECT_EQ(F.ComPort1.Opens, 1);
    F.ComPort1.FailingNames.clear();
    Disturb();
    SelectPort(S, C, 1);
    EXPECT_EQ(std::tuple(F.Form1.title, F.ComPort1.OpenName), std::tuple("KORVEL SU COM 1", "COM1"));
    EXPECT_EQ(LineNow(), kDeviceLine);
    // A port that will not open: back to the previous one, settings and all.
    for (int back : {4, 1}) {
        SelectPort(S, C, back);
        F.ComPort1.FailingNames = {"COM3"};
        Disturb();
        SelectPort(S, C, 3);
        const std::string name = "COM" + std::to_string(back);
        EXPECT_EQ(std::tuple(F.Form1.title, F.ComPort1.OpenName, F.ComPort1.Opened, S.PortNumber),
                  std::tuple("KORVEL SU " + name, name, true, back));
        EXPECT_EQ(LineNow(), kDeviceLine) << name;
        F.ComPort1.FailingNames.clear();
    }
    EXPECT_EQ(F.Sound.Beeps, 3);
    // The previous port failing as well reaches the standard report.
    F.ComPort1.FailingNames = {"COM1", "COM4"};
    EXPECT_THROW(SelectPort(S, C, 4), platform::EComPort);
    EXPECT_EQ(std::tuple(S.PortNumber, F.ComPort1.Opened, F.Form3.Shows), std::tuple(4, false, 3));
    // Choosing the same port again does nothing, even after it failed.
    const int opens = F.ComPort1.Opens;
    SelectPort(S, C, 4);
    EXPECT_EQ(F.ComPort1.Opens, opens);
}

// Asked for at each tick until the request is acknowledged; then the setup dialog
// opens once and the name it hands back decides, over the port picked from the
// menu before it: only COM1..COM4 are opened, and only a port that exists is tried.
TEST_F(Link, PortRequestUntilAcknowledgedThenTheSetupDialogsNameDecides)
{
    Restart(0);
    S.NulPending = 1;
    Ticks(3);
    EXPECT_EQ(F.Form3.Caption, "WARNING");
    // No dialog yet, no zero byte while asking for a port.
    EXPECT_EQ(std::tuple(F.Form3.Shows, F.ComPort1.SetupDialogs, F.ComPort1.Writes.size()), std::tuple(3, 0, 0u));
    S.PortPromptStage = 1;  // acknowledged, and meanwhile COM 2 opened from Setup and a transmission started
    SelectPort(S, C, 2);
    S.TxState = 2;
    F.ComPort1.NameChosenInSetup = "COM3";
    Ticks(2);
    // What the dialog chose is opened, not the port already open, and the old
    // line's exchange ends with it.
    EXPECT_EQ(std::tuple(F.ComPort1.SetupDialogs, S.PortPromptStage, F.Form1.title, F.ComPort1.OpenName, S.TxState),
              std::tuple(1, 2, "KORVEL SU COM3", "COM3", 0));
    EXPECT_EQ(std::tuple(S.PortNumber, F.Sound.Beeps), std::tuple(3, 1));

    const std::tuple<const char*, int, bool> cases[] = {
        {"COM1", 0, true}, {"COM4", 0, true}, {"COM5", 0, false}, {"COM5", 3, false}, {"COM2", 0, false}};
    for (const auto& [name, before, opened] : cases) {
        FakeProgram P;
        P.Restart(1);
        P.S.PortNumber = before;
        P.F.ComPort1.NameChosenInSetup = name;
        P.F.ComPort1.FailingNames = {"COM2"};
        Timer1Timer(P.S, P.C);
        const bool known = name[3] != '5';
        EXPECT_EQ(std::tuple(P.F.ComPort1.Opened, P.S.ErrorKind, P.S.PortNumber, P.F.Sound.Beeps),
                  std::tuple(opened, opened ? 0 : 1, known ? name[3] - '0' : before, int(known && !opened)))
            << name;
        EXPECT_EQ(P.F.Form1.title, known ? "KORVEL SU " + std::string(name) : "") << name;
    }
}

// Setup > Port setup, closed on a changed choice: its port is opened as from the
// menu, the port in use too (its device or line changed), and the transfer
// under way is abandoned; the dialog's line stays. A name off the menu changes nothing.
TEST_F(Link, TheSetupItemsChoiceIsTakenAsAMenuChoice)
{
    SelectPort(S, C, 1);
    S.RxState = 2;
    F.ComPort1.Line.BaudRate = 9600;  // as the dialog left it
    F.ComPort1.Name = "COM1";
    const int opens = F.ComPort1.Opens;
    TakeSetupChoice(S, C);
    EXPECT_EQ(std::tuple(F.ComPort1.Opens, F.ComPort1.Opened, S.RxState, F.ComPort1.Line.BaudRate),
              std::tuple(opens + 1, true, 0, 9600));
    EXPECT_EQ(F.Memo2.Text(), "TRASFERIMENTO INTERROTTO");

    // Another name that will not open: back to the one before.
    F.ComPort1.Name = "COM3";
    F.ComPort1.FailingNames = {"COM3"};
    TakeSetupChoice(S, C);
    EXPECT_EQ(std::tuple(F.ComPort1.OpenName, S.PortNumber), std::tuple("COM1", 1));
    EXPECT_EQ(F.Form3.Text, "Serial port not ready");
    // The same name failing has nothing left to fall back on.
    F.ComPort1.Name = "COM1";
    F.ComPort1.FailingNames = {"COM1"};
    TakeSetupChoice(S, C);
    EXPECT_EQ(std::tuple(F.ComPort1.Opened, F.Form3.Shows), std::tuple(false, 2));

    FakeProgram P;
    SelectPort(P.S, P.C, 1);  // the menu's first port: the edge of its range
    P.F.ComPort1.Name = "/dev/ttyUSB7";
    TakeSetupChoice(P.S, P.C);
    EXPECT_EQ(std::tuple(P.F.ComPort1.Port(), P.F.ComPort1.OpenName, P.F.ComPort1.Opened, P.F.Sound.Beeps),
              std::tuple("COM1", "COM1", true, 1));
    EXPECT_EQ(P.F.Form3.Text, "Serial port not ready");
}

TEST_F(Link, TimeOutAtTheNinetyFirstBusyTickAndNotAfterAnIdleOne)
{
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
    EXPECT_EQ(std::tuple(S.RxState, F.Form3.Shows), std::tuple(2, 0));

    Restart();
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
    EXPECT_EQ(std::tuple(S.RxState, S.TxState, S.WatchdogTicks, S.HdrSendActive, S.HdrSendOffset), std::tuple(0, 0, 0, 0, 0));
    EXPECT_EQ(F.Form3.Text, "Serial port time out");
    // The input thrown away, the progress gone, one beep, the ESC left as it was.
    EXPECT_EQ(std::tuple(F.ComPort1.Clears, F.ProgressBar1.visible, F.ProgressBar1.position, F.Sound.Beeps, S.EscSeen),
              std::tuple(1, false, 0, 1, 1));
    Ticks(1);  // the zero byte still goes out
    EXPECT_EQ(F.ComPort1.Writes, std::vector<std::string>{std::string(1, '\0')});
    // A device that only polls in command state is timed out all the same.
    Restart();
    F.Form3.Text.clear();
    F.ComPort1.Receive("\x1B" "A");
    for (int i = 0; i < 91; ++i, F.ComPort1.Receive("\x1B" "I"))
        Ticks(1);
    EXPECT_EQ(F.Form3.Text, "Serial port time out");
}

// Whatever the old line left half done stays with it, whether the adapter
// vanished or the user switched ports: a header still being paced after its
// transmission ended, an ESC, a partial line, an owed zero byte. Only a transfer
// cut short is reported, by the component's own report.
TEST_F(Link, NothingOfTheOldLineReachesTheNextDevice)
{
    for (bool lost : {true, false}) {
        Restart();
        SelectPort(S, C, 2);
        F.Files.Files["/d/H.hdr"] = std::string(128, 'h');
        S.TxHdrPath = "/d/H.hdr";
        S.HdrSendActive = 1;  // both machines idle, pacing on
        S.HdrSendOffset = 40;
        S.EscSeen = 1;
        S.RxText = "half a li";
        S.NulPending = 1;
        F.Memo1.Lines.clear();
        F.ComPort1.Writes.clear();
        if (lost) {
            S.RxState = 1;
            EXPECT_FALSE(PortLost(S, C));  // command state ends, no transfer lost
            EXPECT_EQ(F.Form1.title, "KORVEL SU COM 0");
        } else {
            SelectPort(S, C, 3);
        }
        ComPort1TxEmpty(S);
        Timer2Timer(S, C);
        Ticks(2);
        F.ComPort1.Receive("A\r\nne\n");  // the next device's first bytes
        // No byte out, and no ESC from the old device making a pair.
        EXPECT_EQ(std::pair(F.ComPort1.Writes.size(), S.RxState), std::pair(size_t{0}, 0)) << lost;
        EXPECT_EQ(F.Memo1.Lines, (std::vector<std::string>{"A", "ne"})) << lost;
    }
    S.TxState = 2;
    S.WatchdogTicks = 30;
    F.ProgressBar1.visible = true;
    EXPECT_TRUE(PortLost(S, C));
    EXPECT_EQ(std::tuple(S.TxState, S.WatchdogTicks, F.ProgressBar1.visible, F.Form3.Shows), std::tuple(0, 0, false, 0));
}

// Bytes held by the device's CTS: the message line says what to check at once,
// and what it said before once they move again.
TEST_F(Link, AHeldLineIsToldAndThenForgotten)
{
    S.LanguageFlag = 0;
    C.Memo2.SetText("TRASMISSIONE IN CORSO  ");
    ComPort1LineHeld(S, C, true);
    EXPECT_EQ(F.Memo2.Text(), "NESSUN VIA DAL DISPOSITIVO (CTS): controllare il cavo, che il dispositivo sia acceso, "
                              "e per le pulsantiere FLOW CONTROL su NONE");
    EXPECT_EQ(F.Sound.Beeps, 1);
    ComPort1LineHeld(S, C, false);
    EXPECT_EQ(F.Memo2.Text(), "TRASMISSIONE IN CORSO  ");

    S.LanguageFlag = 1;
    ComPort1LineHeld(S, C, true);
    EXPECT_EQ(F.Memo2.Text(), "NO GO-AHEAD FROM THE DEVICE (CTS): check the cable, that the device is switched on, "
                              "and for the hand-helds FLOW CONTROL set to NONE");
    C.Memo2.SetText("OPERAZIONE ESEGUITA");  // a later step has spoken: it stays
    ComPort1LineHeld(S, C, false);
    EXPECT_EQ(F.Memo2.Text(), "OPERAZIONE ESEGUITA");
}

// A port slow to open: the message line says so in the build's language, then
// what it said before, unless something else was said meanwhile.
TEST_F(Link, APortSlowToOpenIsToldWhileItWaits)
{
    for (const auto& [flag, shown] : {std::pair{0, "APERTURA DELLA PORTA IN ATTESA: "},
                                         std::pair{1, "WAITING FOR THE PORT TO OPEN: "}}) {
        S.LanguageFlag = flag;
        C.Memo2.SetText("RICEZIONE IN CORSO");
        ComPort1Waiting(S, C, "COM3 waits");
        EXPECT_EQ(F.Memo2.Text(), shown + std::string("COM3 waits"));
        C.Memo2.SetText(flag ? "OPERAZIONE ESEGUITA" : F.Memo2.Text());  // said meanwhile: it stays
        ComPort1Waiting(S, C, "");
        EXPECT_EQ(F.Memo2.Text(), flag ? "OPERAZIONE ESEGUITA" : "RICEZIONE IN CORSO");
    }
}

// In the terminal line errors are counted on the message line, with one beep.
TEST_F(Link, LineErrorsInTheTerminalAreCountedAndToldOnce)
{
    S.LanguageFlag = 0;
    ComPort1LineErrors(S, C, {1, 0, 0, 0});
    ComPort1LineErrors(S, C, {1, 2, 0, 1});
    EXPECT_EQ(F.Memo2.Text(), "ERRORI DI LINEA (formato 1, parita' 2, interruzione 1): controllare velocita', "
                              "parita' e cavo");
    EXPECT_EQ(F.Sound.Beeps, 1);
    S.LanguageFlag = 1;
    ComPort1LineErrors(S, C, {0, 0, 3, 0});  // counted afresh: the port opened again, told again
    EXPECT_EQ(F.Memo2.Text(), "LINE ERRORS (overrun 3): check the speed, the parity and the cable");
    EXPECT_EQ(F.Sound.Beeps, 2);
}

TEST_F(Link, KeysSendTheirVirtualKeyByteAndFOneToNineAloneAreMenuKeys)
{
    const platform::KeyModifiers none, shift{true, false, false}, ctrl{false, true, false}, alt{false, false, true};
    const std::pair<int, platform::KeyModifiers> keys[] = {
        {0x41, shift}, {0x10, shift}, {0x31, shift}, {0x43, ctrl}, {0x52, ctrl}, {0x11, ctrl},
        {0x41, ctrl},  {0x43, {true, true, false}}, {0x11, alt}, {0x79, none}, {0x0D, none}, {0, none},
        {0x63, ctrl},  {0x72, ctrl}};  // the codes of 'c' and 'r' too, as they always have
    for (auto [vk, mods] : keys)
        Memo2KeyDown(S, C, vk, mods);
    KonF51Click(S, C);
    KoffF61Click(S, C);
    EXPECT_EQ(F.ComPort1.Writes, (std::vector<std::string>{"\x41", "\x10", "\x31", "\x03", "\x12", "\x41", "\x43",
                                                            "\x11", "\x79", "\x0D", "\x03", "\x12", "\x07\x07\x07\x11",
                                                            "\x07\x07\x07\x12"}));
    const std::tuple<int, platform::KeyModifiers, int> menu[] = {
        {0x70, none, 1}, {0x78, none, 9}, {0x79, none, 0}, {0x6F, none, 0},
        {0x74, shift, 0}, {0x74, ctrl, 0}, {0x74, alt, 0}, {0x41, none, 0}};
    for (auto [vk, mods, item] : menu)
        EXPECT_EQ(MenuKey(vk, mods), item) << vk;
}
