// Programs sent by a device, stored and sent back over the real serial component
// and a pseudo-terminal; and what a technician meets on a bad day.

#include "tests/e2e/Session.h"

using namespace e2e;

namespace {

const Program kLarge{HeaderOf('t', '0'), Text(40000) + '\0' + Block()};
const Program kSmall{HeaderOf('T', '3'), Text(900) + '\0'};

// The n-th report, of a lost port, and no storm of them after it: none more by the
// watchdog's second tick.
void ExpectLostPortReport(Serbox& box, size_t n)
{
    ASSERT_TRUE(Until([&] { return box.Reports.size() >= n; }));
    QObject counter;
    int ticks = 0;
    QObject::connect(&box.Form1.Timer(1), &QTimer::timeout, &counter, [&] { ++ticks; });
    ASSERT_TRUE(Until([&] { return ticks >= 2; }));
    ASSERT_EQ(box.Reports.size(), n);
    EXPECT_NE(box.Reports.back().find("Transfer abandoned"), std::string::npos) << box.Reports.back();
    const ProgramState& s = box.S();
    EXPECT_EQ(std::tuple(box.Form1.Port().Connected(), s.RxState, s.TxState, s.HdrSendActive), std::tuple(false, 0, 0, 0));
}

}  // namespace

// Sets received into the one set named with F7, each asked back at once: plain and
// empty text sections, a second section, and forty thousand bytes. The large set
// goes last: the port holds the next output-empty event for as long as its bytes
// would take on a 4800-baud line, some 83 s.
TEST(EndToEnd, ProgramsOfEveryShapeThereAndBack)
{
    const Program programs[] = {{HeaderOf('T', '0'), Text(1500) + '\0'}, {HeaderOf('*', '5'), std::string(1, '\0')},
                                {HeaderOf('t', '1'), Text(700) + '\0' + Block()}, kLarge};
    Serbox box;
    QStringList args{"--chunk", "500"};
    for (size_t i = 0; i < std::size(programs); ++i)
        args << "send" << box.Store("program" + std::to_string(i), programs[i]) << "receive" << box.Out("back");
    Device device(args);
    box.StartOn(device.path);
    box.FileIn("IN.TXT");
    for (const Program& p : programs)
        ASSERT_NO_FATAL_FAILURE(box.RoundTrip(device, p, "IN")) << p;
    EXPECT_TRUE(box.Reports.empty());
    device.Finish();
}

TEST(Fault, PortGoneInTheMiddleOfAReceptionAndATransmissionThenPortsWork)
{
    Serbox box;
    box.Store("OLD", kSmall);
    auto device = std::make_unique<Device>(QStringList{"--baud", "--chunk", "256", "send"} << box.Store("large", kLarge));
    box.StartOn(device->path);
    box.FileIn("CUT.TXT");
    device->Enter();
    ASSERT_TRUE(device->Says("header sent"));
    // Part of the text section stored, the rest on its way.
    ASSERT_TRUE(Until([&] { return box.S().RxState == RxTextSection && !ReadFile(box.Dir / "~CUT.src").empty(); }));
    device.reset();
    ExpectLostPortReport(box, 1);
    EXPECT_FALSE(std::filesystem::exists(box.Dir / "~CUT.src") || std::filesystem::exists(box.Dir / "CUT.src"));
    EXPECT_FALSE(box.Messages().contains("OPERAZIONE ESEGUITA"));
    EXPECT_EQ(box.S().TxFileName, "");  // an incomplete set is never offered for sending

    device = std::make_unique<Device>(QStringList{"--no-wait", "receive", box.Out("cut")});
    ASSERT_TRUE(box.OpenOn(device->path, 1));  // the same port, its adapter back
    box.FileOut("OLD.TXT");
    // Part of the header is out when the line goes.
    ASSERT_TRUE(Until([&] { return box.S().HdrSendOffset > 10; }));
    device.reset();
    ExpectLostPortReport(box, 2);

    box.FileIn("NEXT.TXT");
    Device third(QStringList{"--no-wait", "receive", box.Out("whole"), "send"} << box.Store("small", kSmall));
    ASSERT_TRUE(box.OpenOn(third.path, 3));
    third.Finish();
    EXPECT_EQ(box.Stored("whole"), kSmall);  // from its first byte
    EXPECT_EQ(box.Stored("NEXT"), kSmall);
    EXPECT_TRUE(box.Messages().contains("OPERAZIONE ESEGUITA"));
}

TEST(Fault, FolderGoneBeforeTheReceptionGivesTheFileError)
{
    Serbox box;
    Device device(QStringList{"send"} << box.Store("small", kSmall));
    box.StartOn(device.path);
    std::filesystem::create_directory(box.Dir / "sub");
    box.FileIn("sub/LINE1.TXT");
    ASSERT_TRUE(std::filesystem::is_empty(box.Dir / "sub"));  // F7 makes nothing under the name
    std::filesystem::remove_all(box.Dir / "sub");
    std::ofstream(box.Dir / "sub") << "a file where the folder was";
    device.Enter();
    // Before the device ends: the line dropping then closes the error dialog.
    ASSERT_TRUE(Until([&] { return box.S().ErrorKind == 7 && box.Form3.isVisible(); })) << box.S().ErrorKind;  // the file error
    device.Finish();  // every reply still came
    EXPECT_FALSE(box.Messages().contains("OPERAZIONE ESEGUITA"));
    EXPECT_EQ(box.S().TxFileName, "");
}
