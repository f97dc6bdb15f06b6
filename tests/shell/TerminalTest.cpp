// Device lines into Memo1 through the real window and serial component, over a
// pseudo-terminal: many lines to an event, split wherever the line splits them.

#include <gtest/gtest.h>

#include <QTest>

#include "tests/support/Pty.h"
#include "tests/support/Windows.h"

TEST(Terminal, EveryLineReachesMemo1ExactlyHoweverTheEventsCutIt)
{
    Pty pty;
    Windows w(1);
    ASSERT_TRUE(w.OpenOn(pty.path));
    w.Form1.show();
    const QStringList help = w.Lines(1);
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Lines(1).size() == help.size() + expected.size(); }, 10000));
    EXPECT_EQ(w.Lines(1).mid(help.size()).join('\n').toStdString(), expected.join('\n').toStdString());
    EXPECT_TRUE(w.S().RxText.empty());
}
