#pragma once
// The held-CTS case as both systems' line tests run it, each over its own model
// of a line: SerialComponentTest.cpp and SerialLineTest_win.cpp.
#include <gtest/gtest.h>

#include <QTest>
#include <chrono>
#include <functional>
#include <vector>

#include "platform/serial/SerialComponent.h"

// Hardware flow control on a three-wire cable: CTS never rises. Ten bytes at 1200
// baud (about 83 ms on the line) are told held after about a second; output-empty
// waits for CTS, then for the bytes' line time from the moment they could leave.
struct HeldByCts {
    using Clock = std::chrono::steady_clock;
    std::vector<bool> held;
    int empties = 0;
    Clock::time_point emptyAt{};

    // On an open port at 1200 baud whose CTS is low; `raiseCts` raises it on the model.
    void Run(platform::SerialComponent& port, const std::function<void()>& raiseCts,
             const std::function<void()>& whileHeld = [] {})
    {
        using namespace std::chrono_literals;
        port.OnLineHeld = [this](bool h) { held.push_back(h); };
        port.OnTxEmpty = [this] { ++empties, emptyAt = Clock::now(); };
        const auto start = Clock::now();
        port.WriteStr("0123456789");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !held.empty(); }, 5000));
        EXPECT_GE(Clock::now() - start, 900ms);
        EXPECT_EQ(held, std::vector<bool>{true});
        EXPECT_EQ(empties, 0);
        whileHeld();
        raiseCts();
        const auto rose = Clock::now();
        ASSERT_TRUE(QTest::qWaitFor([&] { return empties > 0; }, 5000));
        EXPECT_EQ(held, (std::vector<bool>{true, false}));
        EXPECT_GE(emptyAt - rose, 80ms);
    }
};
