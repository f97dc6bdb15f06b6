#pragma once
// What every benchmark shares: a clock, percentiles, the process's peak memory, a
// raw pseudo-terminal, and a minimal poll() loop that answers the device as fast
// as a program can (the floor the latency of serbox is compared with).

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }
inline double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The value below which a share q (0..1) of the sorted samples lie.
inline double Percentile(std::vector<double> v, double q)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t at = std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size())));
    return v[at];
}

inline long PeakRssKb()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

inline void SetRaw(int fd)
{
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
}

// The device's end of a line: the master of a pseudo-terminal set raw.
struct Pty {
    int master = -1;
    std::string path;

    Pty()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            throw std::runtime_error("cannot create a pseudo-terminal");
        path = ::ptsname(master);
        SetRaw(master);
    }
    ~Pty() { ::close(master); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    void Send(const std::string& bytes) const
    {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(master, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                throw std::runtime_error("the line is gone");
            done += static_cast<size_t>(n);
        }
    }
    // Exactly n bytes, or fewer when the line stays quiet for timeoutMs.
    std::string Read(size_t n, int timeoutMs) const
    {
        std::string got;
        char buf[4096];
        while (got.size() < n) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0)
                break;
            const ssize_t r = ::read(master, buf, std::min(sizeof buf, n - got.size()));
            if (r <= 0)
                break;
            got.append(buf, static_cast<size_t>(r));
        }
        return got;
    }
};

// The floor: opens the other end of a pty and answers every ESC "I" with the
// command-state reply, nothing else, until stop is set.
inline void AnswerPolls(const std::string& path, const std::atomic<bool>& stop)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        throw std::runtime_error("cannot open " + path);
    SetRaw(fd);
    bool esc = false;
    char buf[256];
    while (!stop) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0)
            continue;
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        for (ssize_t i = 0; i < n; ++i) {
            if (esc && buf[i] == 'I')
                (void)!::write(fd, "\x1B\x41\x42\x40\x42", 5);
            esc = buf[i] == '\x1B';
        }
    }
    ::close(fd);
}

// Of a process: its CPU time in clock ticks and in nanoseconds (all its threads).
// utime + stime of a process, in clock ticks.
inline long CpuTicks(pid_t pid)
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
inline double CpuNanos(pid_t pid)
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

}  // namespace bench
