#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "shell/ProcessEnd.h"

TEST(ProcessEnd, AnEscapingErrorIsReportedAndTheProcessEndsWithZero)
{
    std::vector<std::string> reports;
    auto report = [&](const std::string& m) { reports.push_back(m); };
    EXPECT_EQ(RunAndReport([] { throw std::runtime_error("no window"); }, report), 0);
    EXPECT_EQ(RunAndReport([] { throw 42; }, report), 0);  // not only std::exception
    int ran = 0;
    EXPECT_EQ(RunAndReport([&] { ++ran; }, report), 0);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(reports, (std::vector<std::string>{"no window", "Unknown error"}));
}
