// A day of use: save-and-load round trips back to back, each set checked byte
// for byte, the process's memory, descriptors and CPU printed at the first round
// trip and the last. SERBOX_SOAK_ROUNDS: how many (make soak; the suite runs 3).

#include <sys/resource.h>

#include <cstdio>

#include "tests/e2e/Session.h"

using namespace e2e;

namespace {

struct Usage {
    double rssMb = 0, cpuMs = 0, seconds = 0;
    long descriptors = 0;
    static Usage Now()
    {
        long pages = 0, resident = 0;
        std::ifstream("/proc/self/statm") >> pages >> resident;
        rusage r{};
        ::getrusage(RUSAGE_SELF, &r);
        return {static_cast<double>(resident * ::sysconf(_SC_PAGESIZE)) / (1 << 20),
                (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1e3 + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e3,
                std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(),
                // Less the one the listing holds.
                std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}) - 1};
    }
};

}  // namespace

// Descriptors must not grow after the first round trip, which opens what the
// toolkit opens on first use. Memory is printed, not asserted: the sanitizer
// build's quarantine grows it by design, and LeakSanitizer checks this case there.
TEST(Soak, RoundTripsBackToBackKeepDescriptorsFlat)
{
    const int rounds = std::max(qEnvironmentVariableIntValue("SERBOX_SOAK_ROUNDS"), 3);
    const Program program{HeaderOf('t', '0'), Text(1500) + '\0' + Block()};
    Serbox box;
    // One round more than run keeps the device, and the pipes to it, until the last
    // is measured. Patient: a lost event still stops an exchange for good.
    Device device(QStringList{"--chunk", "500", "--timeout", "10000", "--repeat", QString::number(rounds + 1), "send"}
                  << box.Store("soak", program) << "receive" << box.Out("back"));
    box.StartOn(device.path);
    box.FileIn("SOAK.TXT");
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each line as it comes, in a long run
    std::printf("soak: %d round trips of a %zu-byte source with a 5001 block\n", rounds, program.src.size());

    Usage first, last = Usage::Now();
    std::string listing;
    for (int r = 1; r <= rounds; ++r) {
        SCOPED_TRACE("round trip " + std::to_string(r));
        const Usage before = last;
        ASSERT_NO_FATAL_FAILURE(box.RoundTrip(device, program, "SOAK"));
        listing = r == 1 ? ReadFile(box.Dir / "SOAK.TXT") : listing;
        ASSERT_EQ(ReadFile(box.Dir / "SOAK.TXT"), listing);
        last = Usage::Now();
        first = r == 1 ? last : first;
        if (r <= 2 || r == rounds || r % std::max(1, rounds / 10) == 0)
            std::printf("round trip %4d: %5.1f s, CPU %6.1f ms, RSS %6.1f MB, %ld descriptors\n", r,
                        last.seconds - before.seconds, last.cpuMs - before.cpuMs, last.rssMb, last.descriptors);
    }
    EXPECT_FALSE(listing.empty());
    EXPECT_TRUE(box.Reports.empty());
    EXPECT_EQ(last.descriptors, first.descriptors);
}
