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

namespace {

// utime + stime of a process, in clock ticks.
long CpuTicks(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name may hold blanks: fields are counted after its ")".
    std::istringstream fields(all.substr(all.rfind(')') + 2));
    std::string f;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> f; ++i) {
        if (i == 14)
            utime = std::stol(f);
        if (i == 15)
            stime = std::stol(f);
    }
    return utime + stime;
}

// Time on a CPU of all the process's threads, in nanoseconds (finer than ticks).
double CpuNanos(pid_t pid)
{
    double total = 0;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator(tasks, ec)) {
        std::ifstream in(task.path() / "schedstat");
        double ns = 0;
        if (in >> ns)
            total += ns;
    }
    return total;
}

}  // namespace

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
