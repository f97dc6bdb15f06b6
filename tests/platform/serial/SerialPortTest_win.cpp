// The serial component on its Win32 port, under Wine: COM1 is mapped to the
// pseudo-terminal of serbox-device (wine-serial.sh), which sends each line written
// to SERBOX_DEVICE_INPUT, logs what it receives in SERBOX_DEVICE_OUTPUT and goes
// when SERBOX_DEVICE_VANISH appears.
#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/serial/SerialComponent.h"
#include "platform/serial/System.h"

namespace {

std::string Shared(const char* name)
{
    const char* path = std::getenv(name);
    return path ? std::string("Z:") + path : std::string();
}

// The bytes of the device's "received 41 42 ..." lines.
std::string DeviceReceived()
{
    std::ifstream log(Shared("SERBOX_DEVICE_OUTPUT"));
    std::string line, bytes, hex;
    while (std::getline(log, line))
        if (line.rfind("received ", 0) == 0)
            for (std::istringstream in(line.substr(9)); in >> hex;)
                bytes += static_cast<char>(std::stoi(hex, nullptr, 16));
    return bytes;
}

void DeviceSends(const std::string& line)
{
    std::ofstream(Shared("SERBOX_DEVICE_INPUT"), std::ios::binary | std::ios::app) << line << '\n';
}

}  // namespace

TEST(WineSerial, Com1CarriesEveryByteTellsOutputEmptyOnceAndALostDeviceOnce)
{
    ASSERT_FALSE(Shared("SERBOX_DEVICE_INPUT").empty()) << "run through tests/platform/serial/wine-serial.sh";
    platform::SerialComponent port;
    port.SetPort("COM1");
    ASSERT_EQ(port.DeviceFor("COM1"), "COM1");  // the system's port of that name, never another
    std::vector<std::string> errors;
    port.OnError = [&](const std::string& message) { errors.push_back(message); };
    port.Open();
    // The setup dialog's check asks the system, never the port: the port this
    // program holds is not another program's.
    EXPECT_EQ(platform::CheckDevicePath("COM1"), "");

    int empties = 0;
    port.OnTxEmpty = [&] { ++empties; };
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    port.WriteStr(all);
    port.WriteStr("ab");
    port.TransmitChar('\0');
    const std::string sent = all + "ab" + std::string(1, '\0');
    EXPECT_TRUE(QTest::qWaitFor([&] { return DeviceReceived().size() >= sent.size() && empties > 0; }, 20000));
    EXPECT_EQ(DeviceReceived(), sent);
    EXPECT_EQ(empties, 1);

    // Longer than a flood: the rest of what waits in the driver goes with the event.
    std::string text, got;
    for (int i = 0; i < 3000; ++i)
        text += static_cast<char>(0x20 + i % 95);
    std::vector<int> counts;
    port.OnRxChar = [&](int count) {
        counts.push_back(count);
        for (int i = 0; i < count; ++i)
            ASSERT_EQ(port.ReadStr(got, 1), 1);
    };
    DeviceSends(text);
    EXPECT_TRUE(QTest::qWaitFor([&] { return got.size() >= text.size() + 2; }, 20000));
    EXPECT_EQ(got, text + "\r\n");
    EXPECT_LT(counts.size(), text.size() / 2);

    // Closing cancels the read under way; the port opens again as it was.
    port.ClearBuffer(true, true);
    port.Close();
    port.Open();
    got.clear();
    DeviceSends("again");
    EXPECT_TRUE(QTest::qWaitFor([&] { return got.size() >= 7; }, 20000));
    EXPECT_EQ(got, "again\r\n");

    std::ofstream(Shared("SERBOX_DEVICE_VANISH")) << "go";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !errors.empty(); }, 20000));
    bool after = false;  // whatever was queued behind the first report has run
    QTimer::singleShot(0, [&] { QTimer::singleShot(0, [&] { after = true; }); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return after; }, 5000));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("COM1: device lost", 0), 0u) << errors[0];
    EXPECT_FALSE(port.Connected());
    std::string none;
    EXPECT_EQ(port.ReadStr(none, 10), 0);
}
