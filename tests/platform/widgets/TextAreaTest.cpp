#include <gtest/gtest.h>

#include <QInputMethodQueryEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <optional>

#include "platform/widgets/QtWidgets.h"

namespace {

// Two widgets with the same cap: one takes lines one append at a time (how the
// text area behaves outside a batch), the other through a batch.
struct Twins {
    QPlainTextEdit single, batched;
    platform::QtTextArea area{batched};

    explicit Twins(int cap)
    {
        for (QPlainTextEdit* w : {&single, &batched}) {
            w->setMaximumBlockCount(cap);
            w->setLineWrapMode(QPlainTextEdit::NoWrap);
            w->resize(300, 120);
        }
    }
    void Append(const std::vector<std::string>& lines, bool inBatch = true)
    {
        std::optional<platform::QtTextArea::Batch> batch;
        if (inBatch)
            batch.emplace(area);
        for (const std::string& l : lines) {
            single.appendPlainText(platform::ToQt(l));
            area.AppendLine(l);
        }
    }
};

std::vector<std::string> Numbered(const char* prefix, int n)
{
    std::vector<std::string> v;
    for (int i = 0; i < n; ++i)
        v.push_back(prefix + std::to_string(i));
    return v;
}

}  // namespace

TEST(TextArea, ABatchShowsWhatSingleAppendsShowUnderTheCap)
{
    const std::vector<std::vector<std::string>> starts = {
        {"help"}, {"h1", "h2", "h3", "h4"}, {"h1", "h2", "h3", "h4", "h5"}, {"h1", "h2", "h3", "h4", ""}};
    for (const auto& start : starts) {
        for (int n : {1, 3, 4, 5, 6, 12}) {
            SCOPED_TRACE(testing::Message() << start.size() << " lines, then " << n);
            Twins t(5);
            t.Append(start, false);
            auto lines = Numbered("L", n);
            lines[0] = "";  // an empty line is a line too
            t.Append(lines);
            EXPECT_EQ(t.batched.toPlainText(), t.single.toPlainText());
            t.Append({"after\xE9", "last"});
            EXPECT_EQ(t.batched.toPlainText(), t.single.toPlainText());
        }
    }
}

// Single appends drop an empty first line into an empty widget; the text area keeps
// it, in a batch or not, after a clear too (the device's CR LF alone in one event).
TEST(TextArea, AnEmptyLineIntoAnEmptyWidgetStaysALine)
{
    Twins t(3);
    t.Append({"", "a", "b"});
    EXPECT_EQ(t.batched.toPlainText(), "\na\nb");
    for (bool batched : {false, true}) {
        t.area.Clear();
        for (const char* line : {"", "", "READY"})
            t.Append({line}, batched);
        EXPECT_EQ(t.batched.toPlainText(), "\n\nREADY") << batched;
    }
    t.area.SetText("");
    t.area.AppendLine("a");
    EXPECT_EQ(t.batched.toPlainText(), "a");
}

// Read-only as the window makes them, the components take nothing from an input
// method and open no context menu: every key stays a key.
TEST(TextArea, ComponentsLeaveEveryKeyAKey)
{
    QPlainTextEdit memo;
    QLineEdit edit;
    platform::QtTextArea area(memo);
    platform::QtField field(edit);
    memo.setReadOnly(true);
    edit.setReadOnly(true);
    for (QWidget* w : std::initializer_list<QWidget*>{&memo, &edit}) {
        QInputMethodQueryEvent query(Qt::ImEnabled | Qt::ImHints);
        QCoreApplication::sendEvent(w, &query);  // ImHints: the widget answers the rest
        EXPECT_EQ(std::tuple(query.value(Qt::ImEnabled).toBool(), query.value(Qt::ImHints).isValid(), w->contextMenuPolicy()),
                  std::tuple(false, true, Qt::PreventContextMenu));
    }
}

TEST(TextArea, CallsInsideABatchSeeTheLinesInOrder)
{
    QPlainTextEdit w;
    platform::QtTextArea area(w);
    area.AppendLine("before");
    {
        platform::QtTextArea::Batch outer(area);
        area.AppendLine("one");
        {
            platform::QtTextArea::Batch inner(area);
            area.AppendLine("two");
        }
        EXPECT_EQ(w.toPlainText(), "before");  // nothing reaches the widget before the end
        EXPECT_EQ(area.Text(), "before\none\ntwo");
        area.AppendLine("three");
        area.Clear();
        area.AppendLine("four");
        EXPECT_EQ(area.Text(), "four");  // a clear takes the waiting lines too
        area.SetText("set");
        area.AppendLine("five");
    }
    EXPECT_EQ(w.toPlainText(), "set\nfive");
}

TEST(TextArea, TheViewFollowsTheEndOrStaysWhereTheReaderScrolled)
{
    Twins t(40);
    t.batched.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&t.batched));
    QScrollBar& bar = *t.batched.verticalScrollBar();
    for (bool inBatch : {false, true}) {
        t.Append(Numbered("S", 40), inBatch);
        EXPECT_EQ(bar.value(), bar.maximum());
    }

    bar.setValue(20);
    auto topLine = [&] { return t.batched.cursorForPosition(QPoint(4, 4)).block().text(); };
    const QString top = topLine();
    t.Append(Numbered("B", 4));
    EXPECT_EQ(topLine(), top);  // four lines gone above it: the bar moved up by four
    EXPECT_EQ(bar.value(), 16);
}
