// serbox_bench: figures of serbox's reply latency, reception throughput, listing
// speed, idle CPU and peak memory, printed; never pass/fail on time.
//   serbox_bench latency [POLLS]
//   serbox_bench throughput [MB...]
//   serbox_bench listing [MB...]
//   serbox_bench idle PROGRAM [SECONDS]
//   serbox_bench terminal [LINES]
//   serbox_bench store [FOLDER...]          storing a set, with and without syncs
//   serbox_bench cli SERBOX-CLI [SECONDS]     idle CPU waiting for a device, throughput
//   serbox_bench cli-soak SERBOX-CLI [ROUNDS]  memory over a batch of receptions
// bench/run.sh runs them all, each in its own process so that each peak memory
// figure is its own.

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/Benchmarks.h"
#include "bench/Common.h"

namespace {

std::vector<size_t> Sizes(int argc, char** argv, std::vector<size_t> fallback)
{
    std::vector<size_t> mb;
    for (int i = 2; i < argc; ++i)
        mb.push_back(std::strtoul(argv[i], nullptr, 10));
    return mb.empty() ? fallback : mb;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: serbox_bench latency [POLLS] | throughput [MB...] | listing [MB...] | idle PROGRAM [SECONDS] | terminal [LINES] | store [FOLDER...] | cli SERBOX-CLI [SECONDS] | cli-soak SERBOX-CLI [ROUNDS]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    const std::string what = argv[1];
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qargc = 1;
    QApplication app(qargc, argv);
    try {
        if (what == "latency")
            bench::Latency(argc > 2 ? std::atoi(argv[2]) : 2000);
        else if (what == "throughput")
            bench::Throughput(Sizes(argc, argv, {1, 4}), 1024);
        else if (what == "listing")
            bench::ListingSpeed(Sizes(argc, argv, {1, 10}));
        else if (what == "idle" && argc > 2)
            bench::IdleCpu(argv[2], argc > 3 ? std::atoi(argv[3]) : 30);
        else if (what == "cli" && argc > 2)
            bench::CliFigures(argv[2], argc > 3 ? std::atoi(argv[3]) : 30, {1, 4});
        else if (what == "cli-soak" && argc > 2)
            bench::CliSoak(argv[2], argc > 3 ? std::atoi(argv[3]) : 200);
        else if (what == "store") {
            std::vector<std::string> folders(argv + 2, argv + argc);
            if (folders.empty())
                folders.push_back(std::filesystem::temp_directory_path().string());
            bench::Store(folders, 20);
        } else if (what == "terminal")
            bench::Terminal(argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 100000);
        else
            return Usage();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "serbox_bench %s: %s\n", what.c_str(), e.what());
        return 1;
    }
    std::printf("  peak memory of this run: %ld kB\n", bench::PeakRssKb());
    return 0;
}
