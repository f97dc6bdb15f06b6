// Programs sent by a device, stored, and sent back, over the real serial
// component and a pseudo-terminal.

#include <QLineEdit>

#include "tests/e2e/Session.h"

using namespace e2e;

namespace {

// Sets received one after another into the one set named with F7, each asked
// back at once.
void ThereAndBack(const std::vector<Program>& programs)
{
    Serbox box;
    QStringList args{"--chunk", "500"};
    for (size_t i = 0; i < programs.size(); ++i)
        args << "send" << box.Store("program" + std::to_string(i), programs[i]) << "receive" << box.Out("back");
    Device device(args);
    box.StartOn(device.Path());
    box.FileIn("IN.TXT");
    for (const Program& p : programs)
        ASSERT_NO_FATAL_FAILURE(box.RoundTrip(device, p, "IN")) << p;
    EXPECT_EQ(box.S().RxState, 0);
    EXPECT_EQ(box.S().TxState, 0);
    EXPECT_TRUE(box.Reports.empty());
    device.Finish();
}

}  // namespace

TEST(EndToEnd, PlainAndEmptyTextSectionsThereAndBack)
{
    ThereAndBack({{HeaderOf('T', '0'), Text(1500) + '\0'}, {HeaderOf('*', '5'), std::string(1, '\0')}});
}

TEST(EndToEnd, SecondSectionAndFortyThousandBytesThereAndBack)
{
    // The large set goes back last: the port holds the next output-empty event
    // for as long as its bytes would take on a 4800-baud line, some 83 s.
    ThereAndBack({{HeaderOf('t', '1'), Text(700) + '\0' + Block()}, {HeaderOf('t', '0'), Text(40000) + '\0' + Block()}});
}

// Lines from the device are shown; keys go where the focus is, in every text
// component, as they do for a person at the keyboard.
TEST(EndToEnd, TerminalLinesAndKeys)
{
    Serbox box;
    Device device({"type"});
    box.StartOn(device.Path());
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
    EXPECT_EQ(QString(device.Before()).replace("\nreceived ", " ").toStdString(), "received 42 42 42 42 ");
}
