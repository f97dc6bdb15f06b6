// The real program on a desktop of its own: Xvfb, openbox, a session bus with the
// accessibility bus behind it, and its line's device end on a pseudo-terminal.
// Keys are typed with xdotool; what a screen reader would say comes from a11y.py.

#include <fcntl.h>
#include <poll.h>

#include <gtest/gtest.h>

#include <QSerialPort>
#include <filesystem>
#include <fstream>

#include "tests/support/Process.h"
#include "tests/support/Pty.h"
#include "tests/support/TempDir.h"

class Desktop {
public:
    Pty line;  // the device's end
    // layout: an X keyboard layout set before the program starts ("de"), or none.
    explicit Desktop(const std::string& layout = {}) { Setup(layout); }
    void Setup(const std::string& layout)  // apart from the constructor, which cannot ASSERT
    {
        std::filesystem::permissions(temp_.path, std::filesystem::perms::owner_all);
        ::fcntl(line.master, F_SETFD, FD_CLOEXEC);
        // The session lives in this test's own environment, which every command inherits.
        for (const char* v : {"HOME", "XDG_RUNTIME_DIR"})
            ::setenv(v, Dir().c_str(), 1);
        ::setenv("LANG", "C.UTF-8", 1);
        xvfb_.Start({"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"});
        ::setenv("DISPLAY", (":" + xvfb_.FirstLine()).c_str(), 1);
        bus_.Start({"dbus-daemon", "--session", "--nofork", "--print-address=1"});
        ::setenv("DBUS_SESSION_BUS_ADDRESS", bus_.FirstLine().c_str(), 1);
        // The accessibility bus, started before the program looks for it.
        RunCommand({"dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress"});
        ASSERT_TRUE(layout.empty() || RunCommand({"setxkbmap", "-layout", layout}).status == 0);
        wm_.Start({"openbox", "--sm-disable"});
        other_.Start({"xmessage", "-title", "OTHER", "another application"});
        ASSERT_TRUE(Until([&] {
            return RunCommand({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).out.find("window id") != std::string::npos;
        })) << "no X server or window manager";
    }

    std::string Dir() const { return temp_.path.string(); }

    void StartProgram()
    {
        ASSERT_FALSE(::testing::Test::HasFatalFailure()) << "no desktop";
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        ::setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1);
        app_.Start({SERBOX_EN}, QString::fromStdString(Dir()));
    }
    // Start-up as a user does it, until the program has the line open.
    void StartOnTheLine()
    {
        ASSERT_NO_FATAL_FAILURE(StartProgram());
        Answer("^WARNING$", {"Return"});
        AnswerSetup();
        const std::string main = Window("^KORVEL SU COM");
        ASSERT_TRUE(Until([&] {  // open once it has a terminal behind it
            pollfd p{line.master, POLLOUT, 0};
            return ::poll(&p, 1, 0) == 1 && !(p.revents & POLLHUP);
        }));
        Activate(main);
        EXPECT_EQ(Received(), "");  // and everything before this key handled
    }
    void AnswerSetup()
    {
        Answer("^Serial port setup$", {"Tab", "ctrl+a"}, line.path);
        ASSERT_TRUE(Closes("^Serial port setup$"));
    }

    // A visible window whose title matches; waits for it to appear. (xdotool's own
    // --sync gives up when a window vanishes while it looks.)
    std::string Window(const std::string& title)
    {
        std::string found;
        EXPECT_TRUE(Until([&] { return !(found = Search(title)).empty(); })) << "no window " << title;
        return found.substr(0, found.find('\n'));
    }
    bool Shown(const std::string& title) { return !Search(title).empty(); }
    bool Closes(const std::string& title) { return Until([&] { return !Shown(title); }); }
    std::string Title(const std::string& window = "%1")
    {
        const std::string t = RunCommand({"xdotool", "getactivewindow", "getwindowname", window}).out;
        return t.substr(0, t.find('\n'));
    }
    void Activate(const std::string& window)
    {
        EXPECT_TRUE(Until([&] { return RunCommand({"timeout", "5", "xdotool", "windowactivate", "--sync", window}).status == 0; }))
            << "could not activate " << window;
    }
    void Keys(std::vector<std::string> keys)
    {
        keys.insert(keys.begin(), {"xdotool", "key"});
        EXPECT_EQ(RunCommand(keys).status, 0);
    }
    // In the window titled so: the keys, then the text typed and Return.
    void Answer(const std::string& title, const std::vector<std::string>& keys, const std::string& text = {})
    {
        Activate(Window(title));
        if (!keys.empty())
            Keys(keys);
        if (!text.empty()) {
            EXPECT_EQ(RunCommand({"xdotool", "type", text}).status, 0);
            Keys({"Return"});
        }
    }
    void SwitchAwayAndBack(const std::string& back)
    {
        Activate(Window("^OTHER$"));
        Activate(back);
    }

    // The bytes that reach the device up to and including the marker key's byte (BE,
    // the period key), in hex: anything sent twice has arrived by then.
    std::string Received()
    {
        Keys({"period"});
        std::string got;
        const bool marked = Until([&] {
            got += line.Drain();
            return !got.empty() && static_cast<unsigned char>(got.back()) == 0xBE;
        });
        EXPECT_TRUE(marked) << "the marker key never reached the device";
        return QByteArray::fromStdString(got.substr(0, got.size() - marked)).toHex(' ').toUpper().toStdString();
    }

    // What a screen reader reads: the text of the named component, or the names.
    std::string Accessible(const std::string& what, const std::string& name = "")
    {
        Output o;
        Until([&] { return (o = RunCommand({"/usr/bin/python3", SERBOX_A11Y, what, name})).status == 0; });
        return o.out;
    }

private:
    static std::string Search(const std::string& title)
    {
        return RunCommand({"xdotool", "search", "--onlyvisible", "--name", title}).out;
    }

    TempDir temp_{"serbox-desktop"};
    // Ended in the reverse order: the program first, the X server last.
    Child xvfb_, bus_, wm_, app_, other_;
};

TEST(Desktop, EachKeyOnceActivationsAndPromptsAfterDialogsAndAnotherApplication)
{
    Desktop d;
    ASSERT_NO_FATAL_FAILURE(d.StartOnTheLine());
    EXPECT_EQ(d.Accessible("names"), "Device messages\nFILE TO RECEIVE\nFILE TO TRASMIT\nMessage line\n");
    std::ofstream(d.Dir() + "/STORED.TXT") << "";  // its .hdr is missing: F8 on it is an error
    const std::string main = d.Window("^KORVEL SU COM"), title = d.Title();
    const auto cautionsShown = [&] { return QString::fromStdString(d.Accessible("text", "Message line")).count("CAUTION!"); };
    auto cautions = cautionsShown();
    EXPECT_GE(cautions, 1);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        if (round % 3 == 0) {
            d.SwitchAwayAndBack(main);
        } else if (round % 3 == 1) {  // the exit dialog, closed by going back to the main window
            d.Keys({"F4"});
            d.Window("^USCITA PROGRAMMA$");
            d.Activate(main);
            ASSERT_TRUE(d.Closes("^USCITA PROGRAMMA$"));
        } else {  // the error dialog, closed with Enter
            d.Keys({"F8"});
            d.Answer("^Open$", {}, "STORED.TXT");
            d.Answer("^ERRORE !$", {"Return"});
            ASSERT_TRUE(d.Closes("^ERRORE !$"));
        }
        // The keys: a, Shift+1, Return, K.on-F5, K.off-F6; F1, F2, F3 and F9 send nothing.
        d.Keys({"a", "shift+1", "Return", "F5", "F6", "F1", "F2", "F3", "F9"});
        EXPECT_EQ(d.Received(), "41 10 31 0D 07 07 07 11 07 07 07 12");  // the round handled by now
        // Coming back from another application is no activation; taking over from a dialog of the program is one.
        if (round <= 1) {
            EXPECT_EQ(cautionsShown(), cautions + round);
            EXPECT_EQ(round ? title : d.Title(), title);  // nor does the title change
        }
        d.Keys({"F7"});
        d.Answer("^Save As$", {"Escape"});
        ASSERT_TRUE(d.Closes("^Save As$"));
        EXPECT_EQ(d.Received(), "");
        cautions = round == 0 ? cautionsShown() : cautions;
        ASSERT_FALSE(HasFailure());
    }

    // An error shown while the exit dialog is open takes the activation and keeps it:
    // the exit dialog closes, and Enter then answers the error, not the device.
    d.Keys({"F4"});
    d.Activate(d.Window("^USCITA PROGRAMMA$"));
    d.line.Send("\x1B" "A" "\x1B" "C");  // the device starts a reception: no file chosen
    EXPECT_TRUE(d.Closes("^USCITA PROGRAMMA$"));
    EXPECT_TRUE(Until([&] { return d.Title() == "ERRORE !"; }));
    d.Keys({"Return"});
    EXPECT_TRUE(d.Closes("^ERRORE !$"));
    EXPECT_EQ(d.Received(), "");

    // The overwrite prompt survives another application and Escape.
    std::ofstream(d.Dir() + "/OLD.TXT") << "";
    d.Keys({"F7"});
    d.Answer("^Save As$", {}, "OLD.TXT");
    const std::string prompt = d.Window("^AVVISO$");
    d.SwitchAwayAndBack(prompt);
    d.Keys({"Escape"});
    d.SwitchAwayAndBack(prompt);  // which is still there
    // Clicking the main window refuses the overwrite, as ANNULLA does.
    d.Activate(main);
    EXPECT_TRUE(d.Closes("^AVVISO$"));
    EXPECT_EQ(d.Accessible("text", "FILE TO RECEIVE"), "\n");
}

// Keys as the layout types them, switched while the program runs: letters, digits,
// comma, period, minus and plus follow the labels and no two keys share a byte; a
// dead key is a key like any other. The keypad without Num Lock, the Menu key and
// keys without a code of their own (the media and browser keys, or none).
TEST(Desktop, KeysFollowTheLayoutAndNoneIsSwallowedOrFolded)
{
    Desktop d("de");
    ASSERT_NO_FATAL_FAILURE(d.StartOnTheLine());
    // The <> key left of Y; Caps Lock changes no letter's code; the dead key ´, e.
    d.Keys({"y", "z", "shift+y", "less", "shift+less", "Caps_Lock", "y", "z", "Caps_Lock", "dead_acute", "e", "plus",
            "ssharp"});
    EXPECT_EQ(d.Received(), "59 5A 10 59 E2 10 E2 14 59 5A 14 DD 45 BB BF");
    const std::tuple<std::string, std::string, std::vector<std::string>, std::string> layouts[] = {
        {"fr", "", {"comma", "m", "semicolon", "colon", "ampersand", "minus", "a", "q"}, "BC 4D BE BA 31 36 41 51"},
        {"us", "dvorak", {"apostrophe", "comma", "period", "semicolon", "q", "w", "minus"}, "DE BC BE BA 51 57 BD"}};
    for (const auto& [layout, variant, keys, bytes] : layouts) {
        ASSERT_EQ(RunCommand({"setxkbmap", "-layout", layout, "-variant", variant}).status, 0);
        d.Keys(keys);
        ASSERT_EQ(RunCommand({"setxkbmap", "-layout", "us", "-variant", ""}).status, 0);  // the marker key's own layout
        EXPECT_EQ(d.Received(), bytes) << layout << variant;
    }
    // The second layout of two, its group locked: xdotool would pick its own group.
    ASSERT_EQ(RunCommand({"setxkbmap", "-layout", "us,de"}).status, 0);
    const char* secondGroup = "import ctypes; x = ctypes.CDLL(\"libX11.so.6\"); t = ctypes.CDLL(\"libXtst.so.6\")\n"
        "x.XOpenDisplay.restype = ctypes.c_void_p; d = ctypes.c_void_p(x.XOpenDisplay(None))\n"
        "x.XkbLockGroup(d, 0x100, 1)\nfor k in (29, 52, 20, 21): t.XTestFakeKeyEvent(d, k, 1, 0); t.XTestFakeKeyEvent(d, k, 0, 0)\n"
        "x.XkbLockGroup(d, 0x100, 0); x.XSync(d, 0)";
    ASSERT_EQ(RunCommand({"python3", "-c", secondGroup}).status, 0);
    EXPECT_EQ(d.Received(), "5A 59 BF DD");  // German Z, Y, ß, ´
    d.Keys({"KP_Home", "KP_Up", "KP_End", "KP_Delete", "KP_Begin", "XF86AudioPlay", "XF86Back", "XF86AudioMute",
            "XF86AudioLowerVolume", "XF86AudioRaiseVolume", "XF86Tools", "XF86MenuKB", "Menu", "a"});
    EXPECT_EQ(d.Received(), "24 26 23 2E 0C B3 A6 AD AE AF 5D 41");
}

// The start-up request survives Escape and another application. The window manager
// gives the main window the focus back after the tick that showed the setup dialog
// has ended: no activation, so the start-up title keeps its form, under the
// not-ready message too, until the main window next takes over from a dialog.
TEST(Desktop, TheStartUpRequestStaysAndTheTitleKeepsItsFormUntilTheNextActivation)
{
    for (const std::string n : {"3", "2"}) {  // COM2 is held by another program
        Desktop d;
        ASSERT_NO_FATAL_FAILURE(d.StartProgram());
        QSerialPort other(QString::fromStdString(d.line.path));
        ASSERT_TRUE(n == "3" || other.open(QIODevice::WriteOnly));
        const std::string request = d.Window("^WARNING$");
        d.Answer("^WARNING$", {"Escape"});
        // Acknowledged, the next tick (a second) would bring the setup dialog.
        EXPECT_FALSE(Until([&] { return d.Shown("^Serial port setup$"); }, 2500)) << "Escape acknowledged the request";
        d.SwitchAwayAndBack(request);  // which is still there
        EXPECT_FALSE(d.Shown("^Serial port setup$"));
        d.Keys({"Return"});
        d.Answer("^Serial port setup$", {"ctrl+a", "C", "O", "M", n});
        ASSERT_NO_FATAL_FAILURE(d.AnswerSetup());
        const std::string main = d.Window("^KORVEL SU COM");
        EXPECT_TRUE(Until([&] { return d.Title() == (n == "3" ? "KORVEL SU COM3" : "ERRORE !"); }));
        d.Accessible("names");  // a round trip through the program's events
        EXPECT_EQ(d.Title(main), "KORVEL SU COM" + n);
        if (n == "2") {  // the next activation rebuilds it
            d.Keys({"Return"});
            EXPECT_TRUE(Until([&] { return d.Title(main) == "KORVEL SU COM 2"; })) << d.Title(main);
        }
    }
}
