// A day of use: save-and-load round trips back to back, each set checked byte
// for byte, the process's memory and descriptors printed at the first round trip
// and the last. SERBOX_SOAK_ROUNDS: how many (make soak; the suite runs 3).

#include <cstdio>

#include "tests/e2e/Session.h"

using namespace e2e;

namespace {

long Descriptors() { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); }

double ResidentMb()
{
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return static_cast<double>(resident * ::sysconf(_SC_PAGESIZE)) / (1 << 20);
}

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
    long first = 0;
    std::string listing;
    for (int r = 1; r <= rounds; ++r) {
        SCOPED_TRACE("round trip " + std::to_string(r));
        ASSERT_NO_FATAL_FAILURE(box.RoundTrip(device, program, "SOAK"));
        listing = r == 1 ? ReadFile(box.Dir / "SOAK.TXT") : listing;
        ASSERT_EQ(ReadFile(box.Dir / "SOAK.TXT"), listing);  // rewritten whole
        first = r == 1 ? Descriptors() : first;
        if (r <= 2 || r == rounds || r % std::max(1, rounds / 10) == 0)
            std::printf("round trip %4d: RSS %6.1f MB, %ld descriptors\n", r, ResidentMb(), Descriptors());
    }
    EXPECT_FALSE(listing.empty());
    EXPECT_TRUE(box.Reports.empty());
    EXPECT_EQ(Descriptors(), first);
}
