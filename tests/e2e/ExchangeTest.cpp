// Programs sent by a device, stored and sent back over the real serial component
// and a pseudo-terminal; and what a technician meets on a bad day.

#include <QLabel>
#include <QLineEdit>

#include "tests/e2e/Session.h"

using namespace e2e;

namespace {

const Program kLarge{HeaderOf('t', '0'), Text(40000) + '\0' + Block()};
const Program kSmall{HeaderOf('T', '3'), Text(900) + '\0'};

// The n-th report, of a lost port, and no storm of them after it.
void ExpectLostPortReport(Serbox& box, size_t n)
{
    ASSERT_TRUE(Until([&] { return box.Reports.size() >= n; }));
    QTest::qWait(1500);
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

// Lines from the device are shown; keys go where the focus is, in every text
// component, as they do for a person at the keyboard.
TEST(EndToEnd, TerminalLinesAndKeys)
{
    Serbox box;
    Device device({"type"});
    box.StartOn(device.path);
    ASSERT_TRUE(device.Says("opened the port.\n"));
    device.write("HELLO FROM THE DEVICE\nSECOND LINE\n");
    EXPECT_TRUE(Until([&] { return box.Form1.Memo(1)->toPlainText().contains("HELLO FROM THE DEVICE\nSECOND LINE"); }));
    box.Form1.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&box.Form1));
    for (QWidget* w : box.Form1.findChildren<QWidget*>())
        if (qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QLineEdit*>(w)) {
            w->setFocus();
            QTest::keyClick(w, Qt::Key_B);
        }
    box.Form1.Action("K.on-F5")->trigger();
    ASSERT_TRUE(device.Says("07 07 07 11"));
    EXPECT_EQ(QString(device.before).replace("\nreceived ", " ").toStdString(), "received 42 42 42 42 ");
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
    QTest::qWait(800);  // part of the text section is on its way
    device.reset();
    ExpectLostPortReport(box, 1);
    EXPECT_FALSE(box.Messages().contains("OPERAZIONE ESEGUITA"));
    EXPECT_EQ(box.S().TxFileName, "");  // an incomplete set is never offered for sending

    device = std::make_unique<Device>(QStringList{"--no-wait", "receive", box.Out("cut")});
    box.SwitchTo(1, device->path);  // the same port, its adapter back
    box.FileOut("OLD.TXT");
    // Part of the header is out when the line goes.
    ASSERT_TRUE(Until([&] { return box.S().HdrSendOffset > 10; }));
    device.reset();
    ExpectLostPortReport(box, 2);

    box.FileIn("NEXT.TXT");
    Device third(QStringList{"--no-wait", "receive", box.Out("whole"), "send"} << box.Store("small", kSmall));
    box.SwitchTo(3, third.path);
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
    ASSERT_TRUE(std::filesystem::exists(box.Dir / "sub" / "LINE1.hdr"));
    std::filesystem::remove_all(box.Dir / "sub");
    std::ofstream(box.Dir / "sub") << "a file where the folder was";
    device.Enter();
    // Before the device ends: the line dropping then closes the error dialog.
    ASSERT_TRUE(Until([&] { return box.S().ErrorKind == 7 && box.Form3.isVisible(); })) << box.S().ErrorKind;  // the file error
    device.Finish();  // every reply still came
    EXPECT_FALSE(box.Messages().contains("OPERAZIONE ESEGUITA"));
    EXPECT_EQ(box.S().TxFileName, "");
}

// A request before F8 chose a set, or after its files were deleted: the error, no set sent.
TEST(Fault, ARequestWithNoFileChosenOrItsFilesDeleted)
{
    // With no file chosen, a later request, after F8, is still heard.
    const std::tuple<bool, int, std::string, int> rows[] = {{false, 5, "File name missing", 1},
                                                           {true, 3, "File (*.hdr ) not found", 0}};
    for (const auto& [chosen, kind, message, rxState] : rows) {
        SCOPED_TRACE(message);
        Serbox box;
        if (chosen) {
            box.Store("GONE", kSmall);
            box.FileOut("GONE.TXT");
            std::filesystem::remove(box.Dir / "GONE.hdr");
        }
        Device device({"--no-wait", "--timeout", "1500", "receive", box.Out("got")});
        box.StartOn(device.path);
        ASSERT_TRUE(Until([&] { return box.S().ErrorKind == kind; }));
        EXPECT_EQ(std::tuple(box.Form3.Label1->text().toStdString(), box.S().RxState, box.S().TxState),
                  std::tuple(message, rxState, 0));
        device.Finish(1);
        EXPECT_TRUE(device.Says("was an outgoing file chosen with F8?"));
        EXPECT_FALSE(std::filesystem::exists(box.Dir / "got.hdr"));
    }
}

// F7 and F8 pressed while a transfer runs name the next transfer's set; the one
// under way ends whole, with its own files.
TEST(Fault, ChoicesDuringATransferWaitForTheNextOne)
{
    Serbox box;
    box.Store("OTHER", kLarge);
    Device device(QStringList{"--baud", "--chunk", "64", "send"} << box.Store("small", kSmall) << "receive"
                  << box.Out("back"));
    box.StartOn(device.path);
    box.FileIn("SAVED.TXT");
    device.Enter();
    ASSERT_TRUE(device.Says("header sent"));
    ASSERT_GE(box.S().RxState, 2);  // still receiving
    box.FileIn("NEXT.TXT");
    ASSERT_TRUE(Until([&] { return box.Messages().contains("OPERAZIONE ESEGUITA"); }));
    EXPECT_EQ(box.Stored("SAVED"), kSmall);
    EXPECT_FALSE(std::filesystem::exists(box.Dir / "NEXT.src"));
    EXPECT_EQ(box.Form1.Components().Edit1.Text(), (box.Dir / "NEXT.TXT").string());

    device.Enter();  // the device asks for the set just saved
    ASSERT_TRUE(Until([&] { return box.S().HdrSendOffset > 10; }));
    box.FileOut("OTHER.TXT");
    device.Finish();
    EXPECT_EQ(box.Stored("back"), kSmall);
    EXPECT_EQ(box.S().TxNextFileName, (box.Dir / "OTHER.TXT").string());  // sent from the next request on
}
