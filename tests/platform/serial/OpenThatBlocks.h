#pragma once
// An open that blocks, as both systems' line tests run it, each over its own
// model: SerialComponentTest.cpp (a driver that hangs in the first call on the
// port) and SerialLineTest_win.cpp (CreateFile that blocks, as on a Bluetooth port).
#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/serial/SerialComponent.h"
#include "platform/serial/SerialPort.h"

struct OpenThatBlocks {
    using Clock = std::chrono::steady_clock;
    // block(ms): the model's next opens block this long; returned(): how many
    // opens have come back from the model so far; held(): the device is open.
    std::function<void(int ms)> block;
    std::function<int()> returned;
    std::function<bool()> held;

    // A slow open is told, with its bound, while the window keeps painting (a
    // timer keeps firing); a second open from inside the wait is refused and a
    // close cuts it; one past the bound is given up. An open that comes back
    // after it was given up or cut holds nothing: the port opens again.
    void Run(platform::SerialComponent& port, const std::string& device)
    {
        using namespace std::chrono_literals;
        std::vector<std::string> told;
        port.OnWaiting = [&](const std::string& what) { told.push_back(what); };
        int ticks = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
        tick.start(50);
        auto startsWith = [](const std::string& s, const std::string& head) { return s.rfind(head, 0) == 0; };

        block(1000);
        port.Open();
        EXPECT_TRUE(port.Connected());
        ASSERT_EQ(told.size(), 2u);
        EXPECT_TRUE(startsWith(told[0], device + "'s driver has not answered yet: a Bluetooth port")) << told[0];
        EXPECT_TRUE(told[0].ends_with("Giving up after 5 s")) << told[0];
        EXPECT_EQ(told[1], "");
        EXPECT_GE(ticks, 10);
        port.Close();

        std::string nested;
        QTimer::singleShot(400, [&] {
            try {
                port.Open();
            } catch (const platform::EComPort&) {
                nested = port.LastFailure();
            }
            port.Close();
        });
        int back = returned();
        auto start = Clock::now();
        EXPECT_THROW(port.Open(), platform::EComPort);
        EXPECT_LT(Clock::now() - start, 900ms);
        EXPECT_TRUE(startsWith(nested, device + " is still being opened")) << nested;
        EXPECT_TRUE(startsWith(port.LastFailure(), device + " was closed before its driver answered"))
            << port.LastFailure();
        ASSERT_TRUE(QTest::qWaitFor([&] { return returned() > back && !held(); }, 3000));
        block(0);
        port.Open();
        EXPECT_TRUE(port.Connected()) << port.LastFailure();
        port.Close();

        block(6000);
        back = returned();
        start = Clock::now();
        EXPECT_THROW(port.Open(), platform::EComPort);
        EXPECT_GE(Clock::now() - start, 4900ms);
        EXPECT_LT(Clock::now() - start, 5800ms);
        EXPECT_TRUE(startsWith(port.LastFailure(), device + " does not answer: a Bluetooth port")) << port.LastFailure();
        ASSERT_TRUE(QTest::qWaitFor([&] { return returned() > back && !held(); }, 3000));
        block(0);
        port.Open();
        EXPECT_TRUE(port.Connected()) << port.LastFailure();
        port.OnWaiting = nullptr;
    }
};
