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
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Pty.h"

namespace desktop {

using Clock = std::chrono::steady_clock;
constexpr auto kLimit = std::chrono::seconds(20);

[[noreturn]] inline void Exec(const std::vector<std::string>& argv, const std::vector<std::string>& env)
{
    std::vector<char*> a, e;
    for (const auto& s : argv)
        a.push_back(const_cast<char*>(s.c_str()));
    a.push_back(nullptr);
    for (const auto& s : env)
        e.push_back(const_cast<char*>(s.c_str()));
    e.push_back(nullptr);
    ::execvpe(a[0], a.data(), e.data());
    ::_exit(127);
}

// A child process in a process group of its own, ended with its group.
class Child {
public:
    Child() = default;
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& env, const std::string& dir = {},
          int keepFd = -1)
    {
        pid_ = ::fork();
        if (pid_ != 0)
            return;
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);  // a test killed midway leaves no desktop behind
        if (!dir.empty() && ::chdir(dir.c_str()) != 0)
            ::_exit(127);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        if (!std::getenv("SERBOX_DESKTOP_VERBOSE")) {
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        for (int fd = 3; fd < 256; ++fd)
            if (fd != keepFd)
                ::close(fd);
        Exec(argv, env);
    }
    Child(const Child&) = delete;
    Child& operator=(Child&& o) noexcept
    {
        End();
        pid_ = o.pid_;
        o.pid_ = -1;
        return *this;
    }
    ~Child() { End(); }
    bool Running()
    {
        if (pid_ <= 0)
            return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        return true;
    }
    void End()
    {
        if (pid_ <= 0)
            return;
        ::kill(-pid_, SIGTERM);
        int status = 0;
        for (int i = 0; i < 200 && ::waitpid(pid_, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ::kill(-pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

// Runs a command to its end; its exit status and what it printed.
struct Output {
    int status = -1;
    std::string out;
};

inline Output Run(const std::vector<std::string>& argv, const std::vector<std::string>& env)
{
    int p[2];
    if (::pipe(p) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(p[1], 1);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        if (!std::getenv("SERBOX_DESKTOP_VERBOSE"))
            ::dup2(null, 2);
        for (int fd = 3; fd < 256; ++fd)
            ::close(fd);
        Exec(argv, env);
    }
    ::close(p[1]);
    Output o;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(p[0], buf, sizeof buf)) > 0)
        o.out.append(buf, static_cast<size_t>(n));
    ::close(p[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
}

inline std::string Hex(const std::string& bytes)
{
    std::string s;
    char b[4];
    for (unsigned char c : bytes) {
        std::snprintf(b, sizeof b, "%02X ", c);
        s += b;
    }
    if (!s.empty())
        s.pop_back();
    return s;
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

        // The X server picks a free display and tells which.
        const std::string number = StartTelling(xvfb_, {"Xvfb", "-displayfd", "FD", "-screen", "0", "1024x768x24",
                                                        "-nolisten", "tcp", "-noreset"});
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        display_ = ":" + number;
        busAddress_ = StartTelling(bus_, {"dbus-daemon", "--session", "--nofork", "--print-address=FD"});
        ASSERT_FALSE(busAddress_.empty()) << "no session bus";
        // The accessibility bus, started before the program looks for it.
        Run({"dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus", "/org/a11y/bus",
             "org.a11y.Bus.GetAddress"},
            Env());

        if (!layout.empty()) {
            ASSERT_EQ(Run({"setxkbmap", "-layout", layout}, Env()).status, 0);
        }
        wm_ = Child({"openbox", "--sm-disable"}, Env());
        ASSERT_TRUE(Until([&] {
            return Run({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, Env()).out.find("window id") !=
                   std::string::npos;
        })) << "the window manager did not start";
    }

    ~Desktop()
    {
        other_.End();
        app_.End();
        wm_.End();
        bus_.End();
        xvfb_.End();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    const std::string& Dir() const { return dir_; }
    Pty& Line() { return line_; }

    // The program as a user starts it, in a folder of its own.
    void StartProgram()
    {
        ASSERT_FALSE(::testing::Test::HasFatalFailure()) << "no desktop";
        std::vector<std::string> env = Env();
        env.push_back("QT_QPA_PLATFORM=xcb");
        env.push_back("QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1");
        app_ = Child({SERBOX_EN}, env, dir_);
    }

    // Start-up: acknowledge the port request, type the line's device into the setup
    // dialog that follows, and wait until the program has the line open.
    void StartOnTheLine()
    {
        ASSERT_NO_FATAL_FAILURE(StartProgram());
        Activate(Window("^WARNING$"));
        Keys({"Return"});
        Activate(Window("^Serial port setup$"));
        Keys({"Tab", "ctrl+a"});
        Type(line_.path);
        Keys({"Return"});
        ASSERT_TRUE(Until([&] { return WindowGone("^Serial port setup$"); }));
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

    std::string MainWindow() const { return main_; }

    // A visible window whose title matches; waits for it to appear. (xdotool's own
    // --sync gives up when a window vanishes while it looks.)
    std::string Window(const std::string& title)
    {
        Output o;
        const bool found = Until([&] {
            o = X({"xdotool", "search", "--onlyvisible", "--name", title});
            return o.status == 0 && !o.out.empty();
        });
        EXPECT_TRUE(found) << "no window " << title;
        return o.out.substr(0, o.out.find('\n'));
    }
    bool WindowGone(const std::string& title)
    {
        const Output o = X({"xdotool", "search", "--onlyvisible", "--name", title});
        return o.status != 0 && o.out.empty();
    }
    std::string ActiveTitle()
    {
        const Output o = X({"xdotool", "getactivewindow", "getwindowname"});
        return o.out.substr(0, o.out.find('\n'));
    }
    void Activate(const std::string& window)
    {
        EXPECT_TRUE(Until([&] { return X({"timeout", "5", "xdotool", "windowactivate", "--sync", window}).status == 0; }))
            << "could not activate " << window;
    }
    void Keys(const std::vector<std::string>& keys)
    {
        std::vector<std::string> a{"xdotool", "key"};
        a.insert(a.end(), keys.begin(), keys.end());
        EXPECT_EQ(X(a).status, 0);
    }
    void Type(const std::string& text) { EXPECT_EQ(X({"xdotool", "type", text}).status, 0); }

    // Another application takes the focus, and the main window gets it back.
    void SwitchAwayAndBack(const std::string& back)
    {
        if (otherWindow_.empty()) {
            other_ = Child({"xmessage", "-title", "OTHER", "another application"}, Env());
            otherWindow_ = Window("^OTHER$");
        }
        Activate(otherWindow_);
        Activate(back);
    }

    // The bytes that reach the device up to and including the marker key's byte (BE,
    // the period key): anything sent twice has arrived by then.
    std::string Received()
    {
        Keys({"period"});
        std::string got;
        const auto end = Clock::now() + kLimit;
        while (Clock::now() < end) {
            got += line_.Drain();
            if (!got.empty() && static_cast<unsigned char>(got.back()) == 0xBE)
                return Hex(got.substr(0, got.size() - 1));
            pollfd p{line_.master, POLLIN, 0};
            ::poll(&p, 1, 100);
        }
        ADD_FAILURE() << "the marker key never reached the device; got " << Hex(got);
        return Hex(got);
    }

    // What a screen reader reads: the text of the named component, or the names.
    Output Accessible(const std::vector<std::string>& args)
    {
        std::vector<std::string> a{"/usr/bin/python3", SERBOX_A11Y};
        a.insert(a.end(), args.begin(), args.end());
        Output o;
        Until([&] { return (o = Run(a, Env())).status == 0; });
        return o;
    }

    template <class Condition>
    static bool Until(Condition done)
    {
        const auto end = Clock::now() + kLimit;
        while (Clock::now() < end) {
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return done();
    }

private:
    static std::vector<std::string> BaseEnv()
    {
        const char* path = std::getenv("PATH");
        return {std::string("PATH=") + (path ? path : "/usr/bin:/bin"), "LANG=C.UTF-8"};
    }
    std::vector<std::string> Env() const
    {
        std::vector<std::string> env = BaseEnv();
        env.push_back("HOME=" + dir_ + "/home");
        env.push_back("XDG_RUNTIME_DIR=" + dir_ + "/run");
        if (!display_.empty())
            env.push_back("DISPLAY=" + display_);
        if (!busAddress_.empty())
            env.push_back("DBUS_SESSION_BUS_ADDRESS=" + busAddress_);
        return env;
    }
    Output X(const std::vector<std::string>& argv) { return Run(argv, Env()); }
    // Starts a server that tells on a descriptor (argument "FD") when it is ready
    // and what it is called; returns that first line.
    std::string StartTelling(Child& child, std::vector<std::string> argv)
    {
        int p[2];
        if (::pipe(p) != 0)
            return {};
        for (auto& a : argv) {
            if (a == "FD")
                a = std::to_string(p[1]);
            else if (a.ends_with("=FD"))
                a = a.substr(0, a.size() - 2) + std::to_string(p[1]);
        }
        child = Child(argv, Env(), {}, p[1]);
        ::close(p[1]);
        std::string line;
        char c;
        while (::read(p[0], &c, 1) == 1 && c != '\n')
            line.push_back(c);
        ::close(p[0]);
        return line;
    }

    std::string dir_;
    Pty line_;
    Child xvfb_, bus_, wm_, app_, other_;
    std::string display_, busAddress_, main_, otherWindow_;
};

}  // namespace desktop
