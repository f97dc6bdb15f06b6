// Device lines into Memo1 through the real window and serial component, over a
// pseudo-terminal: split wherever the line happens to split them.

#include <gtest/gtest.h>

#include <QAction>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>

#include "shell/Texts.h"
#include "shell/Unit1.h"
#include "shell/Unit2.h"
#include "shell/Unit3.h"
#include "tests/support/Pty.h"

TEST(Terminal, EveryLineReachesMemo1ExactlyHoweverTheEventsCutIt)
{
    Pty pty;
    ASSERT_FALSE(pty.path.empty());
    TForm1 Form1(1);
    TForm2 Form2(Form1);
    TForm3 Form3(Form1);
    Form1.Attach(&Form2, &Form3);
    Form1.Timer(1).stop();
    Form1.State().PortPromptStage = 2;
    Form1.Port().Bind("COM1", pty.path);
    Form1.Action("COM 1")->trigger();
    ASSERT_TRUE(Form1.Port().Connected());
    Form1.show();
    const ProgramState& S = Form1.State();
    QPlainTextEdit& memo = *Form1.Memo(1);

    // One event ends inside a line, the next between CR and LF.
    pty.Send("FIRST LI");
    ASSERT_TRUE(QTest::qWaitFor([&] { return S.RxText == "FIRST LI"; }, 5000));
    pty.Send("NE\r");
    ASSERT_TRUE(QTest::qWaitFor([&] { return S.RxText == "FIRST LINE"; }, 5000));
    EXPECT_EQ(memo.document()->lastBlock().text(), texts::kHelpEn.back());
    QStringList expected = {"FIRST LINE", "", QString::fromLatin1("SECOND \xE9")};
    std::string many = "\n\r\nSECOND \xE9\r\n";
    for (int i = 0; i < 600; ++i) {
        const std::string line = "LINE " + std::to_string(i) + std::string(i % 37, '.');
        expected << QString::fromLatin1(line.c_str());
        many += line + "\r\n";
    }
    // Many lines, a few thousand bytes to an event; the line takes them as the
    // window reads.
    size_t sent = 0;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const ssize_t n = ::write(pty.master, many.data() + sent, many.size() - sent);
        sent += n > 0 ? static_cast<size_t>(n) : 0;
        return sent == many.size();
    }, 10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return memo.document()->lastBlock().text() == expected.back(); }, 10000));
    const QStringList shown = memo.toPlainText().split('\n');
    ASSERT_EQ(shown.size(), static_cast<qsizetype>(texts::kHelpEn.size()) + expected.size());
    EXPECT_EQ(shown.mid(static_cast<qsizetype>(texts::kHelpEn.size())).join('\n').toStdString(),
              expected.join('\n').toStdString());
    EXPECT_EQ(S.RxState, 0);
    EXPECT_TRUE(S.RxText.empty());
}
