// A day of use: save-and-load round trips back to back over the real windows and
// serial component, each set checked byte for byte, and the process's memory,
// descriptors and CPU printed from the first round trip to the last.
// SERBOX_SOAK_ROUNDS sets how many (make soak: a few hundred; the suite: 3).

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

#include "tests/e2e/Session.h"

using namespace e2e;

namespace {

struct Usage {
    double rssMb = 0;
    int descriptors = 0;
    double cpuSeconds = 0;
    std::chrono::steady_clock::time_point at;

    static Usage Now()
    {
        Usage u;
        long pages = 0, resident = 0;
        std::ifstream("/proc/self/statm") >> pages >> resident;
        u.rssMb = static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1 << 20);
        // Less the one the listing itself holds open.
        u.descriptors = static_cast<int>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {})) - 1;
        rusage r{};
        ::getrusage(RUSAGE_SELF, &r);
        u.cpuSeconds = static_cast<double>(r.ru_utime.tv_sec + r.ru_stime.tv_sec) +
                       static_cast<double>(r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e6;
        u.at = std::chrono::steady_clock::now();
        return u;
    }
};

void Print(int round, const Usage& before, const Usage& after)
{
    std::printf("round trip %4d: %5.1f s, CPU %6.1f ms, RSS %6.1f MB, %d descriptors\n", round,
                std::chrono::duration<double>(after.at - before.at).count(), (after.cpuSeconds - before.cpuSeconds) * 1e3,
                after.rssMb, after.descriptors);
    std::fflush(stdout);
}

}  // namespace

// Descriptors must not grow after the first round trip (which opens whatever
// the toolkit opens on first use). Memory is printed, not asserted: the
// sanitizer build's quarantine grows it by design, and a bound loose enough
// never to flake would miss a leak of a few round trips; LeakSanitizer checks
// this case's allocations at exit there.
TEST(Soak, RoundTripsBackToBackKeepDescriptorsFlat)
{
    const int rounds = std::max(qEnvironmentVariableIntValue("SERBOX_SOAK_ROUNDS"), 3);
    const Program program{HeaderOf('t', '0'), Text(1500) + '\0' + Block()};
    Serbox box;
    const std::string back = box.Out("back").toStdString();
    // One round more than run: the device, and the pipes to it, stay there until
    // the last round trip has been measured. A device more patient than the
    // default: hours on a busy machine must not end on one slow moment, and a
    // lost event stops an exchange for good all the same.
    QStringList args = {"--chunk", "500", "--timeout", "10000", "--repeat", QString::number(rounds + 1), "send"};
    Device device(args << box.Files("soak", program) << "receive" << box.Out("back"));
    box.StartOn(device.Path());
    box.FileIn("SOAK.TXT");
    std::printf("soak: %d round trips, each a %zu-byte source with a 5001 block saved and loaded back\n", rounds,
                program.src.size());

    Usage first, last = Usage::Now();
    std::string listing;
    for (int r = 1; r <= rounds; ++r) {
        const Usage before = last;
        device.Enter();
        ASSERT_TRUE(device.SaysNext("send complete")) << "round trip " << r;
        ASSERT_EQ(box.Stored("SOAK"), program) << "round trip " << r;
        if (r == 1)
            listing = ReadFile(box.Dir / "SOAK.TXT");
        ASSERT_EQ(ReadFile(box.Dir / "SOAK.TXT"), listing) << "round trip " << r;
        std::filesystem::remove(back + ".hdr");
        std::filesystem::remove(back + ".src");
        device.Enter();
        ASSERT_TRUE(device.SaysNext("receive complete", 60000)) << "round trip " << r;
        ASSERT_EQ(Program::Read(back), program) << "round trip " << r;
        last = Usage::Now();
        if (r == 1)
            first = last;
        if (r <= 2 || r == rounds || r % std::max(1, rounds / 10) == 0)
            Print(r, before, last);
    }
    EXPECT_FALSE(listing.empty());
    EXPECT_TRUE(box.Reports.empty());
    EXPECT_EQ(last.descriptors, first.descriptors);
    std::printf("soak: RSS %.1f MB after the first round trip, %.1f MB after the last; descriptors %d and %d\n",
                first.rssMb, last.rssMb, first.descriptors, last.descriptors);
}
