// Device lines into Memo1 through the real window and serial component, over a
// pseudo-terminal: many lines to an event, split wherever the line splits them.

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QTest>

#include "shell/Texts.h"
#include "shell/Unit1.h"
#include "shell/Unit2.h"
#include "shell/Unit3.h"
#include "tests/support/Pty.h"

TEST(Terminal, EveryLineReachesMemo1ExactlyHoweverTheEventsCutIt)
{
    Pty pty;
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
    QStringList expected = {"FIRST LINE", "", QString::fromLatin1("SECOND \xE9")};
    std::string many = "FIRST LINE\r\n\r\nSECOND \xE9\r\n";
    for (int i = 0; i < 600; ++i) {
        const std::string line = "LINE " + std::to_string(i) + std::string(i % 37, '.');
        expected << QString::fromLatin1(line.c_str());
        many += line + "\r\n";
    }
    // A few thousand bytes to an event; the line takes them as the window reads.
    size_t sent = 0;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        const ssize_t n = ::write(pty.master, many.data() + sent, many.size() - sent);
        sent += n > 0 ? static_cast<size_t>(n) : 0;
        return sent == many.size();
    }, 10000));
    const auto help = static_cast<qsizetype>(texts::kHelpEn.size());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Form1.Memo(1)->toPlainText().split('\n').size() == help + expected.size(); },
                                10000));
    EXPECT_EQ(Form1.Memo(1)->toPlainText().split('\n').mid(help).join('\n').toStdString(), expected.join('\n').toStdString());
    EXPECT_TRUE(Form1.State().RxText.empty());
}
