// Programs sent by a device, stored, and sent back, over the real serial
// component and a pseudo-terminal.

#include <QLabel>
#include <QLineEdit>

#include "tests/e2e/Session.h"

using namespace e2e;

namespace {

// Two receptions in one session, then both sets sent back: the last one
// received is already the outgoing set, the first is chosen with F8.
void ThereAndBack(const Program& first, const Program& second)
{
    Serbox box;
    QStringList args = {"--chunk", "500", "send"};
    args << box.Files("first", first) << "send" << box.Files("second", second) << "receive" << box.Out("back2")
         << "receive" << box.Out("back1");
    Device device(args);
    box.StartOn(device.Path());

    box.FileIn("FIRST.TXT");
    ASSERT_TRUE(device.Shows("Choose the incoming file"));
    device.Enter();
    ASSERT_TRUE(device.Shows("send complete"));
    ASSERT_TRUE(box.Done());
    box.FileIn("SECOND.TXT");
    device.Enter();
    ASSERT_TRUE(device.Shows("send complete", 20000, 2));
    EXPECT_EQ(box.Stored("FIRST"), first);
    EXPECT_EQ(box.Stored("SECOND"), second);
    EXPECT_TRUE(std::filesystem::exists(box.Dir / "SECOND.TXT"));

    device.Enter();  // the set just received goes back as it is
    ASSERT_TRUE(device.Shows("receive complete", 60000));
    box.FileOut("FIRST.TXT");
    device.Enter();
    ASSERT_TRUE(device.Shows("receive complete", 60000, 2));
    EXPECT_EQ(box.S().RxState, 0);
    EXPECT_EQ(box.S().TxState, 0);
    EXPECT_TRUE(box.Reports.empty());
    device.Finish();
    EXPECT_EQ(Program::Read(box.Out("back2").toStdString()), second);
    EXPECT_EQ(Program::Read(box.Out("back1").toStdString()), first);
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

TEST(EndToEnd, TerminalLinesAndKeys)
{
    Serbox box;
    Device device({"type"});
    box.StartOn(device.Path());
    device.Input("HELLO FROM THE DEVICE\nSECOND LINE\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return box.Form1.Memo(1)->toPlainText().contains("SECOND LINE"); }, 5000));
    EXPECT_TRUE(box.Form1.Memo(1)->toPlainText().contains("HELLO FROM THE DEVICE\nSECOND LINE"));
    // Keys go where the focus is, as they do for a person at the keyboard.
    box.Form1.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&box.Form1));
    auto press = [](QWidget* w, Qt::Key key) {
        w->setFocus();
        QTest::keyClick(w, key);
    };
    press(box.Form1.Memo(2), Qt::Key_A);
    press(box.Form1.Memo(2), Qt::Key_Return);
    // The same key in every text component.
    for (QWidget* w : box.Form1.findChildren<QWidget*>())
        if (qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QLineEdit*>(w))
            press(w, Qt::Key_B);
    box.Form1.Action("K.on-F5")->trigger();
    ASSERT_TRUE(device.Shows("07 07 07 11", 5000));
    device.Finish();
    QStringList received;
    for (const QString& line : device.Output().split('\n'))
        if (line.startsWith("received "))
            received << line.mid(9);
    EXPECT_EQ(received.join(' ').toStdString(), "41 0D 42 42 42 42 07 07 07 11");
}

TEST(EndToEnd, RequestWithNoFileChosen)
{
    Serbox box;
    Device device({"--no-wait", "--timeout", "1500", "receive", box.Out("nothing")});
    box.StartOn(device.Path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return box.S().ErrorKind == 5; }, 5000));
    EXPECT_EQ(box.Form3.windowTitle(), "ERRORE !");
    EXPECT_EQ(box.Form3.Label1->text(), "File name missing");
    EXPECT_EQ(box.S().RxState, 1);  // a later request, after F8, is still heard
    device.Finish(1);
    EXPECT_TRUE(device.Output().contains("was an outgoing file chosen with F8?")) << device.Output().toStdString();
    EXPECT_FALSE(std::filesystem::exists(box.Out("nothing").toStdString() + ".hdr"));
}
