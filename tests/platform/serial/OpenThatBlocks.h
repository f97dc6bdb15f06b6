#pragma once
#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <functional>

#include "platform/serial/SerialComponent.h"

// An open that blocks, over either system's line model. block(ms): the model's opens block this long; returned(): opens the model has
// given back; held(): the device is open. A slow open is told with its bound
// while the loop turns (a timer fires); from inside the wait a second open is
// refused and a close cuts it; past the bound it is given up. A late open holds
// nothing: the port opens again.
inline void OpenThatBlocks(platform::SerialComponent& port, const std::string& device,
                           const std::function<void(int ms)>& block, const std::function<int()>& returned,
                           const std::function<bool()>& held)
{
    using namespace std::chrono_literals;
    using Clock = std::chrono::steady_clock;
    std::vector<std::string> told;
    port.OnWaiting = [&](const std::string& what) { told.push_back(what); };
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(50);
    block(1000);
    auto start = Clock::now();
    port.Open();
    EXPECT_LT(Clock::now() - start, 2s);
    EXPECT_GE(ticks, 10);
    EXPECT_EQ(told, (std::vector<std::string>{device + "'s driver has not answered yet: a Bluetooth port whose device "
                                                       "is switched off or out of range answers late or never. Giving "
                                                       "up after 5 s", ""}));
    port.Close();

    std::string nested;
    QTimer::singleShot(400, [&] {
        EXPECT_THROW(port.Open(), platform::EComPort);
        nested = port.LastFailure();
        port.Close();
    });
    for (const int ms : {1000, 6000}) {  // cut, then given up
        const int back = returned();
        start = Clock::now();
        block(ms);
        EXPECT_THROW(port.Open(), platform::EComPort);
        const auto took = Clock::now() - start;
        EXPECT_TRUE(ms < 5000 ? took < 900ms : took > 4900ms && took < 5800ms);
        EXPECT_EQ(port.LastFailure().rfind(device + (ms < 5000 ? " was closed before" : " does not answer"), 0), 0u)
            << port.LastFailure();
        ASSERT_TRUE(QTest::qWaitFor([&] { return returned() > back && !held(); }, 3000));
        block(0);
        port.Open();
        EXPECT_TRUE(port.Connected()) << port.LastFailure();
        port.Close();
    }
    EXPECT_EQ(nested.rfind(device + " is still being opened", 0), 0u) << nested;
    EXPECT_EQ(told.size(), 6u);  // the quick opens told nothing
    port.OnWaiting = nullptr;
}
