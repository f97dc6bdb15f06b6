#pragma once
// A technician's desktop for the real program: an X server of its own (Xvfb on a
// display it picks itself), a window manager (openbox), a session bus with the
// accessibility bus behind it, serbox started as a user starts it, and the device
// end of its line on a pseudo-terminal. Keys are typed through the X server with
// xdotool; what reaches the device is read from the line; what a screen reader
// would say is read from the accessibility bus (a11y.py).
//
// Everything waits for a condition (a window, a byte on the line, a text) with a
// generous limit; the limits only end a run that has already failed.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/Pty.h"

namespace desktop {

using Clock = std::chrono::steady_clock;
constexpr auto kLimit = std::chrono::seconds(20);

template <class Condition>
bool Until(Condition done)
{
    for (const auto end = Clock::now() + kLimit; Clock::now() < end;
         std::this_thread::sleep_for(std::chrono::milliseconds(50)))
        if (done())
            return true;
    return done();
}

// A child process in a process group of its own, ended with its group. Its
// standard output goes to `out` when given; SERBOX_DESKTOP_VERBOSE keeps the rest.
class Child {
public:
    Child() = default;
    explicit Child(std::vector<std::string> argv, const std::string& dir = {}, int out = -1)
    {
        pid_ = ::fork();
        if (pid_ != 0)
            return;
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);  // a test killed midway leaves no desktop behind
        const int null = ::open("/dev/null", O_RDWR);
        const bool verbose = std::getenv("SERBOX_DESKTOP_VERBOSE");
        ::dup2(null, 0);
        if (out >= 0 || !verbose)
            ::dup2(out >= 0 ? out : null, 1);
        if (!verbose)
            ::dup2(null, 2);
        for (int fd = 3; fd < 256; ++fd)
            ::close(fd);
        std::vector<char*> a;
        for (auto& s : argv)
            a.push_back(s.data());
        a.push_back(nullptr);
        if (dir.empty() || ::chdir(dir.c_str()) == 0)
            ::execvp(a[0], a.data());
        ::_exit(127);
    }
    Child& operator=(Child&& o) noexcept
    {
        End();
        std::swap(pid_, o.pid_);
        return *this;
    }
    ~Child() { End(); }
    void End()
    {
        if (pid_ <= 0)
            return;
        ::kill(-pid_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 200 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ::kill(-pid_, SIGKILL);
        ::waitpid(std::exchange(pid_, -1), &status, 0);
    }

private:
    pid_t pid_ = -1;
};

// Starts a server that tells on its standard output when it is ready and what it
// is called; that first line.
inline std::string StartTelling(Child& child, const std::vector<std::string>& argv)
{
    int p[2];
    if (::pipe(p) != 0)
        return {};
    child = Child(argv, {}, p[1]);
    ::close(p[1]);
    std::string line;
    char c;
    while (::read(p[0], &c, 1) == 1 && c != '\n')
        line.push_back(c);
    ::close(p[0]);
    return line;
}

// Runs a command to its end: its exit status and what it printed.
struct Output {
    int status = -1;
    std::string out;
};
inline Output Run(const std::vector<std::string>& argv)
{
    std::string command;
    for (const std::string& a : argv)
        command += " '" + a + "'";  // no argument here holds a quote
    if (!std::getenv("SERBOX_DESKTOP_VERBOSE"))
        command += " 2>/dev/null";
    FILE* pipe = ::popen((command + " </dev/null").c_str(), "r");
    Output o;
    char buf[4096];
    for (size_t n; pipe && (n = std::fread(buf, 1, sizeof buf, pipe)) > 0;)
        o.out.append(buf, n);
    const int status = pipe ? ::pclose(pipe) : -1;
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
}

class Desktop {
public:
    // layout: an X keyboard layout set before the program starts ("de"), or none.
    explicit Desktop(const std::string& layout = {}) { Setup(layout); }
    void Setup(const std::string& layout)
    {
        char dirTemplate[] = "/tmp/serbox-desktop-XXXXXX";
        dir_ = ::mkdtemp(dirTemplate);
        std::filesystem::create_directories(dir_ + "/home");
        std::filesystem::create_directories(dir_ + "/run");
        std::filesystem::permissions(dir_ + "/run", std::filesystem::perms::owner_all);
        ::fcntl(line_.master, F_SETFD, FD_CLOEXEC);

        // The session lives in this test's own environment, which every command inherits.
        ::setenv("HOME", (dir_ + "/home").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (dir_ + "/run").c_str(), 1);
        ::setenv("LANG", "C.UTF-8", 1);
        // The X server picks a free display and tells which.
        const std::string display = StartTelling(xvfb_, {"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24",
                                                         "-nolisten", "tcp", "-noreset"});
        ASSERT_FALSE(display.empty()) << "Xvfb did not start";
        ::setenv("DISPLAY", (":" + display).c_str(), 1);
        const std::string bus = StartTelling(bus_, {"dbus-daemon", "--session", "--nofork", "--print-address=1"});
        ASSERT_FALSE(bus.empty()) << "no session bus";
        ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.c_str(), 1);
        // The accessibility bus, started before the program looks for it.
        Run({"dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress"});
        if (!layout.empty()) {
            ASSERT_EQ(Run({"setxkbmap", "-layout", layout}).status, 0);
        }
        wm_ = Child({"openbox", "--sm-disable"});
        ASSERT_TRUE(Until([&] {
            return Run({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}).out.find("window id") != std::string::npos;
        })) << "the window manager did not start";
    }
    ~Desktop()
    {
        for (Child* c : {&other_, &app_, &wm_, &bus_, &xvfb_})
            c->End();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    const std::string& Dir() const { return dir_; }
    Pty& Line() { return line_; }
    std::string MainWindow() const { return main_; }

    // The program as a user starts it, in a folder of its own.
    void StartProgram()
    {
        ASSERT_FALSE(::testing::Test::HasFatalFailure()) << "no desktop";
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        ::setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1);
        app_ = Child({SERBOX_EN}, dir_);
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
    std::string ActiveTitle()
    {
        const std::string t = Run({"xdotool", "getactivewindow", "getwindowname"}).out;
        return t.substr(0, t.find('\n'));
    }
    void Activate(const std::string& window)
    {
        EXPECT_TRUE(Until([&] { return Run({"timeout", "5", "xdotool", "windowactivate", "--sync", window}).status == 0; }))
            << "could not activate " << window;
    }
    void Keys(std::vector<std::string> keys)
    {
        keys.insert(keys.begin(), {"xdotool", "key"});
        EXPECT_EQ(Run(keys).status, 0);
    }
    void Type(const std::string& text) { EXPECT_EQ(Run({"xdotool", "type", text}).status, 0); }

    // Another application takes the focus, and the given window gets it back.
    void SwitchAwayAndBack(const std::string& back)
    {
        if (otherWindow_.empty()) {
            other_ = Child({"xmessage", "-title", "OTHER", "another application"});
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
        std::string hex;
        for (size_t i = 0; i + marked < got.size(); ++i) {
            char b[4];
            std::snprintf(b, sizeof b, i ? " %02X" : "%02X", static_cast<unsigned char>(got[i]));
            hex += b;
        }
        return hex;
    }

    // What a screen reader reads: the text of the named component, or the names.
    Output Accessible(const std::vector<std::string>& args)
    {
        std::vector<std::string> a{"/usr/bin/python3", SERBOX_A11Y};
        a.insert(a.end(), args.begin(), args.end());
        Output o;
        Until([&] { return (o = Run(a)).status == 0; });
        return o;
    }

private:
    static Output Search(const std::string& title) { return Run({"xdotool", "search", "--onlyvisible", "--name", title}); }

    std::string dir_;
    Pty line_;
    Child xvfb_, bus_, wm_, app_, other_;
    std::string main_, otherWindow_;
};

}  // namespace desktop
