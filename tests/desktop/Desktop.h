#pragma once
// A technician's desktop for the real program: an X server of its own (Xvfb on a
// display it picks itself), a window manager (openbox), a session bus with the
// accessibility bus behind it, serbox started as a user starts it, and the device
// end of its line on a pseudo-terminal. Keys are typed through the X server with
// xdotool; what reaches the device is read from the line; what a screen reader
// would say is read from the accessibility bus (a11y.py).

#include <fcntl.h>
#include <poll.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/Process.h"
#include "tests/support/Pty.h"
#include "tests/support/TempDir.h"

class Desktop {
public:
    // layout: an X keyboard layout set before the program starts ("de"), or none.
    explicit Desktop(const std::string& layout = {}) { Setup(layout); }
    void Setup(const std::string& layout)
    {
        std::filesystem::permissions(temp_.path, std::filesystem::perms::owner_all);
        ::fcntl(line_.master, F_SETFD, FD_CLOEXEC);
        // The session lives in this test's own environment, which every command inherits.
        ::setenv("HOME", Dir().c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", Dir().c_str(), 1);
        ::setenv("LANG", "C.UTF-8", 1);
        // The X server picks a free display and tells which.
        xvfb_.Start({"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"});
        const std::string display = xvfb_.FirstLine();
        ASSERT_FALSE(display.empty()) << "Xvfb did not start";
        ::setenv("DISPLAY", (":" + display).c_str(), 1);
        bus_.Start({"dbus-daemon", "--session", "--nofork", "--print-address=1"});
        const std::string bus = bus_.FirstLine();
        ASSERT_FALSE(bus.empty()) << "no session bus";
        ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.c_str(), 1);
        // The accessibility bus, started before the program looks for it.
        RunCommand({"dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress"});
        ASSERT_TRUE(layout.empty() || RunCommand({"setxkbmap", "-layout", layout}).status == 0);
        wm_.Start({"openbox", "--sm-disable"});
        ASSERT_TRUE(Until([&] {
            return RunCommand({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).out.find("window id") != std::string::npos;
        })) << "the window manager did not start";
    }

    std::string Dir() const { return temp_.path.string(); }
    Pty& Line() { return line_; }
    std::string MainWindow() const { return main_; }

    // The program as a user starts it, in a folder of its own.
    void StartProgram()
    {
        ASSERT_FALSE(::testing::Test::HasFatalFailure()) << "no desktop";
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        ::setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1);
        app_.Start({SERBOX_EN}, Dir());
    }
    // Start-up: acknowledge the port request, type the line's device into the setup
    // dialog that follows, and wait until the program has the line open.
    void StartOnTheLine()
    {
        ASSERT_NO_FATAL_FAILURE(StartProgram());
        Activate(Window("^WARNING$"));
        Keys({"Return"});
        AnswerSetup();
        main_ = Window("^KORVEL SU COM");
        ASSERT_TRUE(Until([&] {
            // The program has the line open once it has a terminal behind it.
            pollfd p{line_.master, POLLOUT, 0};
            return ::poll(&p, 1, 0) == 1 && !(p.revents & POLLHUP);
        }));
        // Back in the main window, and everything before this key handled.
        Activate(main_);
        EXPECT_EQ(Received(), "");
    }
    void AnswerSetup()
    {
        Activate(Window("^Serial port setup$"));
        Keys({"Tab", "ctrl+a"});
        Type(line_.path);
        Keys({"Return"});
        ASSERT_TRUE(Until([&] { return WindowGone("^Serial port setup$"); }));
    }

    // A visible window whose title matches; waits for it to appear. (xdotool's own
    // --sync gives up when a window vanishes while it looks.)
    std::string Window(const std::string& title)
    {
        Output o;
        EXPECT_TRUE(Until([&] { return !(o = Search(title)).out.empty(); })) << "no window " << title;
        return o.out.substr(0, o.out.find('\n'));
    }
    bool WindowGone(const std::string& title) { return Search(title).out.empty(); }
    // The active window's title, or the given window's.
    std::string Title(const std::string& window = {})
    {
        const std::string t = RunCommand(window.empty() ? std::vector<std::string>{"xdotool", "getactivewindow", "getwindowname"}
                                                 : std::vector<std::string>{"xdotool", "getwindowname", window}).out;
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
    void Type(const std::string& text) { EXPECT_EQ(RunCommand({"xdotool", "type", text}).status, 0); }

    // Another application takes the focus, and the given window gets it back.
    void SwitchAwayAndBack(const std::string& back)
    {
        if (otherWindow_.empty()) {
            other_.Start({"xmessage", "-title", "OTHER", "another application"});
            otherWindow_ = Window("^OTHER$");
        }
        Activate(otherWindow_);
        Activate(back);
    }

    // The bytes that reach the device up to and including the marker key's byte (BE,
    // the period key), in hex: anything sent twice has arrived by then.
    std::string Received()
    {
        Keys({"period"});
        std::string got;
        const bool marked = Until([&] {
            got += line_.Drain();
            return !got.empty() && static_cast<unsigned char>(got.back()) == 0xBE;
        });
        EXPECT_TRUE(marked) << "the marker key never reached the device";
        return QByteArray::fromStdString(got.substr(0, got.size() - marked)).toHex(' ').toUpper().toStdString();
    }

    // What a screen reader reads: the text of the named component, or the names.
    Output Accessible(const std::vector<std::string>& args)
    {
        std::vector<std::string> a{"/usr/bin/python3", SERBOX_A11Y};
        a.insert(a.end(), args.begin(), args.end());
        Output o;
        Until([&] { return (o = RunCommand(a)).status == 0; });
        return o;
    }

private:
    static Output Search(const std::string& title) { return RunCommand({"xdotool", "search", "--onlyvisible", "--name", title}); }

    TempDir temp_{"serbox-desktop"};
    Pty line_;
    // Ended in the reverse order: the program first, the X server last.
    Child xvfb_, bus_, wm_, app_, other_;
    std::string main_, otherWindow_;
};
