// The names of received sets and the journal's lines, without a port.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <regex>
#include <thread>

#include "cli/Report.h"
#include "cli/Session.h"
#include "cli/SetNames.h"
#include "link/Journal.h"
#include "platform/files/StdFileSystem.h"
#include "tests/support/TempDir.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

TEST(SetNames, CarryOnAfterTheHighestSetInTheFolder)
{
    EXPECT_EQ(SetStem(NextSetNumber({})), "S0001");
    // A set's three files in any case count; a set being received (~), a report
    // named like a set, other names and longer stems do not.
    EXPECT_EQ(SetStem(NextSetNumber({"s0041.HDR", "S0007.txt", "S0030.Src", "~S0090.src", "S2026.xlsx", "S0500",
                                     "S0600.txt.bak", "S00999.txt", "SX012.txt", "notes.txt"})),
              "S0042");
    EXPECT_EQ(NextSetNumber({"S9999.src"}), 0);  // no 8.3 name left
}

// After each transfer: wait for the next device, or end with which status; the summary.
TEST(Report, EachEndOfARunHasItsStatusAndTheSummaryNamesTheFailures)
{
    using namespace cli;
    const struct { int asked; std::vector<const char*> outcomes; bool verify; int maxFailures; bool folderFault; int status; } cases[] = {
        {3, {"ok", "failed", "ok"}, false, 0, false, -1},
        {3, {"ok", "failed", "ok", "ok"}, false, 0, false, kWhole},  // a retried failure stays out of the status
        {3, {"failed"}, false, 2, false, -1},
        {3, {"failed", "abandoned"}, false, 2, false, kFailed},
        {3, {"failed"}, false, 1, false, kFailed},
        {3, {"ok"}, false, 0, true, kFailed},  // every following set would fail too
        {1, {"ok"}, true, 0, false, kWhole},
        {1, {"different"}, true, 0, false, kDifferent},
        {1, {"failed"}, true, 0, false, kFailed},
    };
    for (const auto& c : cases) {
        Tally t;
        t.asked = c.asked;
        for (size_t i = 0; i < c.outcomes.size(); ++i)
            t.Add(static_cast<int>(i + 1), c.outcomes[i], "why");
        EXPECT_EQ(AfterTransfer(t, c.verify, c.maxFailures, c.folderFault), c.status) << c.outcomes.size();
    }
    Tally t;
    t.asked = 3;
    for (const auto& [outcome, reason] : {std::pair{"ok", ""}, {"failed", "device lost\nagain"}, {"ok", ""},
                                          {"abandoned", "interrupted"}, {"failed", "timed out"}})
        t.Add(t.whole + t.Failures() + 1, outcome, reason);
    EXPECT_EQ(Summary(t), "3 asked, 2 whole, 2 failed (#2: device lost: again; #5: timed out), 1 abandoned (#4: interrupted)");
}

TEST(Journal, LinesAreCsvWithTheLocalTimeAndItsOffset)
{
    TransferRecord r;
    r.Port = "COM1";
    r.Device = "/dev/ttyUSB0";
    r.Direction = "receive";
    r.SetPath = "C:\\Impianto, linea 2\\S0001.txt";
    r.DeviceClass = 7;
    r.HeaderDigit = 1;
    r.Bytes = 696;
    r.Seconds = 2.345;
    r.Outcome = "failed";
    r.Reason = "Cannot write \"x\"\nthe folder is missing";
    r.Label = "pump, 7";
    r.Run = "3f2a";
    EXPECT_EQ(JournalLine("T", "serbox", "0.1.0", r),
              "T,serbox,0.1.0,COM1,/dev/ttyUSB0,receive,\"C:\\Impianto, linea 2\\S0001.txt\",7,1,696,2.35,failed,"
              "\"Cannot write \"\"x\"\" the folder is missing\",\"pump, 7\",3f2a\n");
    r.DeviceClass = r.HeaderDigit = -1;  // no header came
    EXPECT_NE(JournalLine("T", "serbox", "0.1.0", r).find(",receive,\"C:\\Impianto, linea 2\\S0001.txt\",,,696,"), std::string::npos);
    EXPECT_TRUE(std::regex_match(LocalTimestamp(std::time(nullptr)),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)")));
#ifndef _WIN32
    // West of Greenwich, on it, and east across midnight: the offset's sign and the day.
    const std::string zone = std::getenv("TZ") ? std::getenv("TZ") : "";
    const std::time_t t = 1765152000;  // 2025-12-08 00:00:00 UTC
    for (const auto& [tz, want] : {std::pair{"EST5", "2025-12-07T19:00:00-05:00"}, std::pair{"UTC0", "2025-12-08T00:00:00+00:00"},
                                   std::pair{"IST-5:30", "2025-12-08T05:30:00+05:30"}}) {
        ::setenv("TZ", tz, 1);
        ::tzset();
        EXPECT_EQ(LocalTimestamp(t), want) << tz;
    }
    zone.empty() ? ::unsetenv("TZ") : ::setenv("TZ", zone.c_str(), 1);
    ::tzset();
#endif
}

// Two programs at once: every line whole, one header line. Threads with their own
// opens stand for the programs: the system sees separate appends either way.
TEST(Journal, TwoWritersAtOnceNeverMixTheirLines)
{
    TempDir dir("serbox-journal");
    const std::string path = (dir.path / "journal.csv").string();
    const auto writer = [&](char mark) {
        platform::StdFileSystem files;
        for (int i = 0; i < 1000; ++i)
            files.AppendWhole(path, kJournalHeader, std::string(300, mark) + "\n");
    };
    std::thread a(writer, 'a'), b(writer, 'b');
    a.join();
    b.join();
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line + "\n", kJournalHeader);
    int lines = 0;
    while (std::getline(in, line)) {
        ++lines;
        ASSERT_TRUE(line == std::string(300, 'a') || line == std::string(300, 'b')) << "line " << lines << " mixed";
    }
    EXPECT_EQ(lines, 2000);
}

#ifndef _WIN32
// A disk that fills midway through a line (a file size limit stands for it):
// the cut row ends before the next line, which is whole on its own row.
TEST(Journal, ARowCutShortIsNotGluedToTheNext)
{
    TempDir dir("serbox-journal");
    const std::string path = (dir.path / "journal.csv").string();
    platform::StdFileSystem files;
    ASSERT_TRUE(files.AppendWhole(path, kJournalHeader, "first\n"));
    rlimit before{}, small{};
    ::getrlimit(RLIMIT_FSIZE, &before);
    small = {std::filesystem::file_size(path) + 10, before.rlim_max};
    const auto ignored = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_FALSE(files.AppendWhole(path, kJournalHeader, std::string(40, 'c') + "\n")) << "a short write is no line";
    ::setrlimit(RLIMIT_FSIZE, &before);
    std::signal(SIGXFSZ, ignored);
    ASSERT_TRUE(files.AppendWhole(path, kJournalHeader, "next\n"));
    std::stringstream written;
    written << std::ifstream(path).rdbuf();
    EXPECT_EQ(written.str(), kJournalHeader + std::string("first\n") + std::string(10, 'c') + "\nnext\n");
}
#endif

TEST(Journal, OneThatCannotBeWrittenIsToldOnce)
{
    TempDir dir("serbox-journal");
    platform::StdFileSystem files;
    std::vector<std::string> told;
    Journal journal(files, (dir.path / "gone" / "journal.csv").string(), "serbox-cli", "0.1.0", 1,
                    [&](const std::string& why) { told.push_back(why); });
    for (int i = 0; i < 3; ++i)
        journal.Write(TransferRecord{});
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], "Cannot write the journal of transfers " + (dir.path / "gone" / "journal.csv").string() +
                           "\ntransfers go on without it");
}
