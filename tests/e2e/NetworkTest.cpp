// The device behind a real device server (Debian's ser2net): over Telnet with the
// Com Port Control Option and over raw TCP, as over a cable.

#include "platform/serial/SerialComponent.h"
#include "tests/e2e/Session.h"
#include "tests/support/Ser2net.h"

using namespace e2e;

namespace {

// The 5001 block ends with 0xFF: Telnet doubles it on the way and back.
const Program kProgram{HeaderOf('t', '1'), Text(3000) + '\0' + Block()};

}  // namespace

// There and back, the header paced at the device (it refuses one that is not),
// through each kind of port the server offers.
TEST(Network, ProgramsThereAndBackThroughADeviceServer)
{
    for (const bool telnet : {true, false}) {
        SCOPED_TRACE(telnet ? "rfc2217" : "raw");
        Serbox box;
        Device device(QStringList{"--baud", "--chunk", "500", "send"} << box.Store("program", kProgram) << "receive"
                                                                       << box.Out("back"));
        Ser2net server(device.path, box.Dir);
        ASSERT_TRUE(server.Up()) << server.readAll().toStdString();
        box.StartOn(telnet ? server.Rfc2217Url() : server.RawUrl());
        box.FileIn("IN.TXT");
        ASSERT_NO_FATAL_FAILURE(box.RoundTrip(device, kProgram, "IN"));
        EXPECT_TRUE(box.Reports.empty()) << box.Reports.front();
        box.Form1.Port().Close();
        device.Finish();
    }
}

// A setting the server does not take fails the open, naming the server; one
// stopped in the middle of a reception is a device lost, and nothing is stored.
TEST(Network, ARefusedSettingAndAServerStoppedMidwayAreTold)
{
    Serbox box;
    {
        Device device(QStringList{"send"} << box.Store("small", kProgram));
        Ser2net server(device.path, box.Dir);
        platform::SerialComponent port;
        port.Bind("COM2", server.Rfc2217Url());
        port.SetPort("COM2");
        port.SetStopBits(platform::StopBits::OnePointFive);
        EXPECT_THROW(port.Open(), platform::EComPort);
        EXPECT_EQ(port.LastFailure(), server.Rfc2217Url() + ": the device server did not confirm the line's "
                                                            "settings (1.5 stop bits) within 5 s");
    }
    Device device(QStringList{"--baud", "--chunk", "256", "send"}
                  << box.Store("large", {HeaderOf('T', '0'), Text(20000) + '\0'}));
    auto server = std::make_unique<Ser2net>(device.path, box.Dir);
    box.StartOn(server->Rfc2217Url());
    box.FileIn("CUT.TXT");
    device.Enter();
    ASSERT_TRUE(device.Says("header sent"));
    ASSERT_TRUE(Until([&] { return box.S().RxState == RxTextSection && !ReadFile(box.Dir / "~CUT.src").empty(); }));
    server.reset();
    ASSERT_TRUE(Until([&] { return !box.Reports.empty(); }));
    EXPECT_EQ(box.Reports.front(), "COM1: device lost (the device server closed the connection)\nTransfer abandoned.");
    EXPECT_FALSE(std::filesystem::exists(box.Dir / "~CUT.src") || std::filesystem::exists(box.Dir / "CUT.src"));
}
