// Idle CPU: a real serbox process, headless, left alone as just started (the port
// request comes back every second), its user and system time read from
// /proc (scheduler nanoseconds of every thread, and the stat ticks) over the
// given seconds; its peak memory from wait4.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "bench/Benchmarks.h"
#include "bench/Common.h"

namespace bench {


void IdleCpu(const std::string& program, int seconds)
{
    std::printf("idle CPU of %s over %d s (offscreen, no port chosen)\n", program.c_str(), seconds);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        const int quiet = ::open("/dev/null", O_WRONLY);  // the offscreen platform's notes
        ::dup2(quiet, 2);
        ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (pid < 0)
        throw std::runtime_error("cannot start " + program);
    std::this_thread::sleep_for(std::chrono::seconds(2));  // past the start-up
    const long before = CpuTicks(pid);
    const double beforeNs = CpuNanos(pid);
    const auto from = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const long after = CpuTicks(pid);
    const double afterNs = CpuNanos(pid);
    const double wall = Seconds(Clock::now() - from);
    ::kill(pid, SIGTERM);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        throw std::runtime_error("cannot run " + program);
    const double ticks = static_cast<double>(after - before) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    const double cpu = (afterNs - beforeNs) / 1e9;
    std::printf("  %.4f s of CPU in %.1f s: %.3f %% of one CPU (/proc stat ticks: %.2f s)\n", cpu, wall,
                100 * cpu / wall, ticks);
    std::printf("  serbox peak memory %ld kB\n", usage.ru_maxrss);
}

}  // namespace bench
