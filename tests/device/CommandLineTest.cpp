// serbox-device's command line, and how it ends: what a technician types in a
// terminal, what a script runs.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <tuple>
#include <vector>

#include "device/Device.h"
#include "tests/support/Pty.h"

extern char** environ;

TEST(DeviceCommandLine, AWrongOneSaysWhatIsWrong)
{
    const std::pair<std::vector<std::string>, std::string> wrong[] = {
        {{}, "no step given"},
        {{"send", "A.hdr"}, "send needs a .hdr and a .src file"},
        {{"receive"}, "receive needs a name to write OUT.hdr and OUT.src"},
        {{"dance"}, "unknown step \"dance\""},
        {{"--chunk", "abc", "receive", "B"}, "--chunk needs a number of 1 or more, not \"abc\""},
        {{"--repeat", "100001", "receive", "B"}, "--repeat needs a number from 1 to 100000, not \"100001\""},
        {{"receive", "B", "--timeout"}, "--timeout needs a value"},
        {{"--fast", "receive", "B"}, "unknown option --fast"},
        {{"type", "receive", "B"}, "type must be the last step"},
        {{"--repeat", "2", "type"}, "type cannot be repeated"},
    };
    for (const auto& [args, why] : wrong) {
        device::CommandLine line;
        std::string problem;
        EXPECT_FALSE(device::ParseCommandLine(args, line, problem)) << why;
        EXPECT_EQ(problem, why);
    }
    device::CommandLine line;
    std::string problem;
    ASSERT_TRUE(device::ParseCommandLine(
        {"--chunk", "7", "--exit", "--no-wait", "--repeat", "2", "send", "a.hdr", "a.src", "receive", "B"}, line, problem));
    EXPECT_EQ(std::tuple(line.options.chunk, line.exitAtEnd, line.wait), std::tuple(7u, true, false));
    // The steps in order, the repeat times over.
    std::string steps;
    for (const device::Step& s : line.steps) {
        steps += "|" + s.command;
        for (const std::string& word : s.args)
            steps += " " + word;
    }
    EXPECT_EQ(steps, "|send a.hdr a.src|receive B|send a.hdr a.src|receive B");
}

namespace {

// serbox-device on the line's pseudo-terminal with a new terminal as its input (a
// technician's), its output in a pipe; its last step, type, ends with Ctrl-D.
pid_t RunFromATerminal(std::vector<std::string> args, int& out)
{
    Pty line;
    const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
    ::grantpt(terminal), ::unlockpt(terminal);
    const int input = ::open(::ptsname(terminal), O_RDWR | O_NOCTTY);
    int pipe[2];
    (void)!::pipe(pipe);
    posix_spawn_file_actions_t io;
    posix_spawn_file_actions_init(&io);
    posix_spawn_file_actions_adddup2(&io, input, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&io, pipe[1], STDOUT_FILENO);
    args.insert(args.begin(), {SERBOX_DEVICE, "--no-wait", "--port", line.path});
    args.push_back("type");
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    ::posix_spawn(&pid, SERBOX_DEVICE, &io, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&io);
    ::close(input), ::close(pipe[1]);
    (void)!::write(terminal, "\x04", 1);
    ::close(terminal);
    out = pipe[0];
    return pid;
}

// All it says until text, or until its output ends.
std::string SaysUntil(int out, const std::string& text)
{
    std::string said;
    char buf[512];
    pollfd p{out, POLLIN, 0};
    for (ssize_t n = 1; n > 0 && said.find(text) == std::string::npos && ::poll(&p, 1, 20000) > 0;)
        if ((n = ::read(out, buf, sizeof buf)) > 0)
            said.append(buf, static_cast<size_t>(n));
    return said;
}

int ExitStatus(pid_t pid)
{
    int status = 0;
    return ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// Closing the port at once pulled the line from under serbox right after a good
// exchange: from a terminal the device stays until Ctrl-C; --exit ends it.
TEST(DeviceCommandLine, FromATerminalThePortStaysOpenUntilCtrlC)
{
    int out = -1;
    const pid_t stays = RunFromATerminal({}, out);
    EXPECT_NE(SaysUntil(out, "press Ctrl-C here to end").find("press Ctrl-C"), std::string::npos);
    EXPECT_EQ(::waitpid(stays, nullptr, WNOHANG), 0) << "ended without Ctrl-C";
    ::kill(stays, SIGINT);
    EXPECT_EQ(ExitStatus(stays), 0);
    ::close(out);

    const pid_t ends = RunFromATerminal({"--exit"}, out);
    EXPECT_EQ(SaysUntil(out, "press Ctrl-C").find("press Ctrl-C"), std::string::npos);
    EXPECT_EQ(ExitStatus(ends), 0);
    ::close(out);
}
