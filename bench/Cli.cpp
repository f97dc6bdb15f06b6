// serbox-cli's figures: the CPU it takes while waiting for a device (the port
// open, nothing on the line), the throughput of a batch of receptions, and its
// memory over a long batch. The process is the real one, started as a script does.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "bench/Benchmarks.h"
#include "bench/Common.h"
#include "bench/Data.h"
#include "device/Device.h"

namespace bench {

namespace {

namespace fs = std::filesystem;

class CliProcess {
public:
    CliProcess(const std::string& program, const std::string& port, const fs::path& dir, int count)
    {
        const std::string into = dir.string(), journal = (dir / "journal.csv").string(), n = std::to_string(count);
        pid_ = ::fork();
        if (pid_ == 0) {
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, 1);
            ::execl(program.c_str(), program.c_str(), "receive", "--port", port.c_str(), "--into", into.c_str(), "--count",
                    n.c_str(), "--journal", journal.c_str(), "--quiet", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (pid_ < 0)
            throw std::runtime_error("cannot start " + program);
    }
    ~CliProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            End();
        }
    }
    pid_t Pid() const { return pid_; }
    // The exit status; peak memory in kB.
    int End(long* peakKb = nullptr)
    {
        int status = 0;
        rusage usage{};
        ::wait4(pid_, &status, 0, &usage);
        pid_ = -1;
        if (peakKb)
            *peakKb = usage.ru_maxrss;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    long RssKb() const
    {
        std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
        std::string key;
        long kb = 0;
        while (in >> key)
            if (key == "VmRSS:" && in >> kb)
                return kb;
        return 0;
    }

private:
    pid_t pid_ = -1;
};

std::string ReadAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

fs::path Scratch(const char* what)
{
    const fs::path dir = fs::temp_directory_path() / ("serbox-bench-" + std::string(what) + "-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    return dir;
}

std::string SetFile(int n, const char* ext)
{
    char name[16];
    std::snprintf(name, sizeof name, "S%04d.%s", n, ext);
    return name;
}

}  // namespace

void CliFigures(const std::string& program, int seconds, const std::vector<size_t>& megabytes)
{
    const fs::path dir = Scratch("cli");
    device::Line line = device::Line::CreatePty();
    CliProcess cli(program, line.Path(), dir, static_cast<int>(megabytes.size()));
    if (!line.WaitForPeer(10000))
        throw std::runtime_error("serbox-cli never opened the port");
    std::this_thread::sleep_for(std::chrono::seconds(1));  // past the start-up
    const double before = CpuNanos(cli.Pid());
    const auto from = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpu = (CpuNanos(cli.Pid()) - before) / 1e9;
    const double wall = Seconds(Clock::now() - from);
    std::printf("serbox-cli waiting for a device over %.1f s (port open, line quiet)\n", wall);
    std::printf("  %.4f s of CPU: %.3f %% of one CPU\n", cpu, 100 * cpu / wall);

    std::printf("serbox-cli reception throughput over a pseudo-terminal, unthrottled, 1024 bytes between polls\n");
    device::Options options;
    options.timeoutMs = 10000;
    int n = 0;
    for (size_t mb : megabytes) {
        const device::Program p{Header('T', '0'), Text(mb << 20) + '\0'};
        std::ostringstream log;
        const auto started = Clock::now();
        device::SendProgram(line, p, options, log);
        const double s = Seconds(Clock::now() - started) - 0.3;  // the device's quiet wait after its last reply
        ++n;
        for (int i = 0; i < 500 && !fs::exists(dir / SetFile(n, "txt")); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (ReadAll(dir / SetFile(n, "src")) != p.src)
            throw std::runtime_error(std::to_string(mb) + " MB: the set stored differs");
        std::printf("  %3zu MB   %7.2f s   %6.2f MB/s\n", mb, s, static_cast<double>(mb) / s);
    }
    long peak = 0;
    if (cli.End(&peak) != 0)
        throw std::runtime_error("serbox-cli did not end well");
    std::printf("  serbox-cli peak memory %ld kB\n", peak);
    fs::remove_all(dir);
}

void CliSoak(const std::string& program, int rounds)
{
    const fs::path dir = Scratch("cli-soak");
    device::Line line = device::Line::CreatePty();
    CliProcess cli(program, line.Path(), dir, rounds);
    if (!line.WaitForPeer(10000))
        throw std::runtime_error("serbox-cli never opened the port");
    device::Options options;
    const device::Program p{Header('t', '1'), Text(20000) + '\0' + Text(66) + '\xFF'};
    std::vector<std::pair<int, long>> memory;  // after rounds 1, 10, every tenth of the run, and before the last
    const auto started = Clock::now();
    for (int i = 1; i <= rounds; ++i) {
        std::ostringstream log;
        device::SendProgram(line, p, options, log);
        if (i == 1 || i == 10 || i % std::max(1, rounds / 10) == 0 || i == rounds - 1)
            memory.emplace_back(i, cli.RssKb());
    }
    long peak = 0;
    const int status = cli.End(&peak);
    int whole = 0;
    for (int i = 1; i <= rounds; ++i)
        whole += ReadAll(dir / SetFile(i, "src")) == p.src;
    std::printf("serbox-cli receive --count %d: %d whole sets in %.1f s, exit status %d\n", rounds, whole,
                Seconds(Clock::now() - started), status);
    std::printf("  resident memory after set:");
    for (const auto& [round, kb] : memory)
        std::printf(" %d %ld kB;", round, kb);
    std::printf(" peak %ld kB\n", peak);
    fs::remove_all(dir);
    if (whole != rounds || status != 0)
        throw std::runtime_error("the batch lost sets");
}

}  // namespace bench
