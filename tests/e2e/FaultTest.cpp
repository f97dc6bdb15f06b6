// What a technician meets on a bad day: a cable pulled in the middle of an
// exchange, a folder that went away, files deleted after they were chosen.

#include <QLabel>

#include "tests/e2e/Session.h"

using namespace e2e;

namespace {

const Program kLarge{HeaderOf('t', '0'), Text(40000) + '\0' + Block()};
const Program kSmall{HeaderOf('T', '3'), Text(900) + '\0'};

// The first report of a lost port, and no storm of them after it.
void ExpectOneLostPortReport(Serbox& box)
{
    ASSERT_TRUE(QTest::qWaitFor([&] { return !box.Reports.empty(); }, 10000));
    QTest::qWait(1500);
    ASSERT_EQ(box.Reports.size(), 1u);
    EXPECT_NE(box.Reports[0].find("Transfer abandoned"), std::string::npos) << box.Reports[0];
    EXPECT_FALSE(box.Form1.Port().Connected());
    EXPECT_EQ(box.S().RxState, 0);
    EXPECT_EQ(box.S().TxState, 0);
    EXPECT_EQ(box.S().HdrSendActive, 0);
}

}  // namespace

TEST(Fault, PortGoneInTheMiddleOfAReceptionThenANewPortWorks)
{
    Serbox box;
    QStringList args = {"--baud", "--chunk", "256", "send"};
    auto first = std::make_unique<Device>(args << box.Files("large", kLarge));
    box.StartOn(first->Path());
    box.FileIn("CUT.TXT");
    first->Enter();
    ASSERT_TRUE(first->Shows("header sent"));
    QTest::qWait(800);  // part of the text section is on its way
    first->Kill();
    ExpectOneLostPortReport(box);
    EXPECT_FALSE(box.Messages().contains("OPERAZIONE ESEGUITA"));
    EXPECT_EQ(box.S().TxFileName, "");  // an incomplete set is never offered for sending

    Device second(QStringList{"send"} << box.Files("small", kSmall));
    box.SwitchTo(1, second.Path());  // the same port, its adapter back
    EXPECT_EQ(box.Form1.windowTitle(), "KORVEL SU COM 1");
    box.FileIn("NEXT.TXT");
    second.Enter();
    second.Finish();
    EXPECT_EQ(box.Stored("NEXT"), kSmall);
    EXPECT_TRUE(box.Messages().contains("OPERAZIONE ESEGUITA"));
}

TEST(Fault, PortGoneInTheMiddleOfATransmissionThenANewPortWorks)
{
    Serbox box;
    box.Store("OLD", kSmall);
    auto first = std::make_unique<Device>(QStringList{"--no-wait", "receive", box.Out("cut")});
    box.StartOn(first->Path());
    box.FileOut("OLD.TXT");
    // Part of the header is out when the line goes.
    ASSERT_TRUE(QTest::qWaitFor([&] { return box.S().HdrSendOffset > 10; }, 10000));
    first->Kill();
    ExpectOneLostPortReport(box);

    Device second({"--no-wait", "receive", box.Out("whole")});
    box.SwitchTo(3, second.Path());
    second.Finish();
    EXPECT_EQ(Program::Read(box.Out("whole").toStdString()), kSmall);  // from its first byte
}

TEST(Fault, FolderGoneBeforeTheReceptionGivesTheFileError)
{
    Serbox box;
    Device device(QStringList{"send"} << box.Files("small", kSmall));
    box.StartOn(device.Path());
    std::filesystem::create_directory(box.Dir / "sub");
    box.FileIn("sub/LINE1.TXT");
    ASSERT_TRUE(std::filesystem::exists(box.Dir / "sub" / "LINE1.hdr"));
    std::filesystem::remove_all(box.Dir / "sub");
    WriteFile(box.Dir / "sub", "a file where the folder was");
    device.Enter();
    ASSERT_TRUE(device.Shows("send complete"));  // every reply still came
    ASSERT_TRUE(QTest::qWaitFor([&] { return box.S().ErrorKind == 7; }, 5000));
    EXPECT_EQ(box.Form3.Label1->text(), "Received file write error");
    EXPECT_TRUE(box.Form3.isVisible());
    device.Finish();
    EXPECT_FALSE(box.Messages().contains("OPERAZIONE ESEGUITA"));
    EXPECT_EQ(box.S().TxFileName, "");
}

TEST(Fault, FilesDeletedBetweenTheChoiceAndTheRequest)
{
    Serbox box;
    box.Store("GONE", kSmall);
    box.FileOut("GONE.TXT");
    ASSERT_EQ(box.S().TxFileName, (box.Dir / "GONE.TXT").string());
    std::filesystem::remove(box.Dir / "GONE.hdr");
    Device device({"--no-wait", "--timeout", "1500", "receive", box.Out("got")});
    box.StartOn(device.Path());
    device.Finish(1);
    EXPECT_EQ(box.S().ErrorKind, 3);
    EXPECT_EQ(box.Form3.Label1->text(), "File (*.hdr ) not found");
    EXPECT_EQ(box.S().RxState, 0);
    EXPECT_EQ(box.S().TxState, 0);
    EXPECT_FALSE(std::filesystem::exists(box.Out("got").toStdString() + ".hdr"));
}

// F7 and F8 pressed while a transfer runs name the next transfer's set; the one
// under way ends whole, with its own files.
TEST(Fault, ChoicesDuringATransferWaitForTheNextOne)
{
    Serbox box;
    box.Store("OTHER", kLarge);
    QStringList args = {"--baud", "--chunk", "64", "send"};
    Device device(args << box.Files("small", kSmall) << "receive" << box.Out("back"));
    box.StartOn(device.Path());
    box.FileIn("SAVED.TXT");
    device.Enter();
    ASSERT_TRUE(device.Shows("header sent"));
    ASSERT_GE(box.S().RxState, 2);  // still receiving
    box.FileIn("NEXT.TXT");
    ASSERT_TRUE(device.Shows("send complete"));
    ASSERT_TRUE(box.Done());
    EXPECT_EQ(box.Stored("SAVED"), kSmall);
    EXPECT_FALSE(std::filesystem::exists(box.Dir / "NEXT.src"));
    EXPECT_EQ(box.Form1.Components().Edit1.Text(), (box.Dir / "NEXT.TXT").string());

    device.Enter();  // the device asks for the set just saved
    ASSERT_TRUE(QTest::qWaitFor([&] { return box.S().HdrSendOffset > 10; }, 10000));
    box.FileOut("OTHER.TXT");
    device.Finish();
    EXPECT_EQ(Program::Read(box.Out("back").toStdString()), kSmall);
    EXPECT_EQ(box.S().TxNextFileName, (box.Dir / "OTHER.TXT").string());  // sent from the next request on
}
