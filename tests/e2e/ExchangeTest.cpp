// Programs sent by a device, stored, and sent back, over the real serial
// component and a pseudo-terminal.

#include <QLineEdit>

#include "tests/e2e/Session.h"

using namespace e2e;

namespace {

// Two receptions in one session, then both sets sent back: the last one
// received is already the outgoing set, the first is chosen with F8.
void ThereAndBack(const Program& first, const Program& second)
{
    Serbox box;
    Device device(QStringList{"--chunk", "500", "send"} << box.Store("first", first) << "send"
                  << box.Store("second", second) << "receive" << box.Out("back2") << "receive" << box.Out("back1"));
    box.StartOn(device.Path());

    box.FileIn("FIRST.TXT");
    ASSERT_TRUE(device.Says("Choose the incoming file"));
    device.Enter();
    ASSERT_TRUE(device.Says("send complete"));
    ASSERT_TRUE(box.Done());
    box.FileIn("SECOND.TXT");
    device.Enter();
    ASSERT_TRUE(device.Says("send complete"));
    EXPECT_EQ(box.Stored("FIRST"), first);
    EXPECT_EQ(box.Stored("SECOND"), second);
    EXPECT_TRUE(std::filesystem::exists(box.Dir / "SECOND.TXT"));

    device.Enter();  // the set just received goes back as it is
    ASSERT_TRUE(device.Says("receive complete", 60000));
    box.FileOut("FIRST.TXT");
    device.Enter();
    ASSERT_TRUE(device.Says("receive complete", 60000));
    EXPECT_EQ(box.S().RxState, 0);
    EXPECT_EQ(box.S().TxState, 0);
    EXPECT_TRUE(box.Reports.empty());
    device.Finish();
    EXPECT_EQ(box.Stored("back2"), second);
    EXPECT_EQ(box.Stored("back1"), first);
}

}  // namespace

TEST(EndToEnd, PlainAndEmptyTextSectionsThereAndBack)
{
    ThereAndBack({HeaderOf('T', '0'), Text(1500) + '\0'}, {HeaderOf('*', '5'), std::string(1, '\0')});
}

TEST(EndToEnd, SecondSectionAndFortyThousandBytesThereAndBack)
{
    // The large set goes back last: the port holds the next output-empty event
    // for as long as its bytes would take on a 4800-baud line, some 83 s.
    ThereAndBack({HeaderOf('t', '0'), Text(40000) + '\0' + Block()}, {HeaderOf('t', '1'), Text(700) + '\0' + Block()});
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
