// The main window and its dialogs where the desktop tier (tests/desktop) cannot put
// them at will: keys handed to the main window while another application (a plain
// QWindow, no window of the program) has the focus, a key to each text component,
// the port request shown again as the focus goes, and a dialog's close box.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <functional>
#include <utility>

#include "shell/Messages.h"
#include "tests/support/Pty.h"
#include "tests/support/Windows.h"

namespace {

struct Desk : ::testing::Test, Windows {
    Pty device;
    QWindow other;  // another application's window
    std::string line;

    Desk() : Windows(1)
    {
        Form1.show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return Active() == &Form1; }));
        EXPECT_TRUE(OpenOn(device.path));
    }
    ~Desk() override { Form1.close(); }

    static QWidget* Active() { return QGuiApplication::focusWindow() ? QApplication::activeWindow() : nullptr; }
    void SwitchAway(const std::function<void()>& meanwhile = [] {})
    {
        other.show();
        other.requestActivate();
        meanwhile();
        ASSERT_TRUE(QTest::qWaitFor([&] { return QGuiApplication::focusWindow() == &other; }));
    }
    // Everything the device has received once the marker key has come through:
    // anything sent twice is there by then.
    std::string Received()
    {
        Keys({Qt::Key_Period});  // BE
        EXPECT_TRUE(QTest::qWaitFor([&] { return (line += device.Drain()).ends_with('\xBE'); }));
        line.pop_back();
        return std::exchange(line, {});
    }
    // Keys handed to the main window, as the window system hands them.
    void Keys(std::initializer_list<Qt::Key> keys, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        for (Qt::Key k : keys)
            QTest::keyClick(Form1.windowHandle(), k, mods);
    }
};

}  // namespace

// Each key reaches the device once from whichever text component has the focus.
// With another application active the menu's shortcuts take nothing: the keys still
// go out, and F1 to F9 stay menu commands.
TEST_F(Desk, KeysGoOutOnceAndFunctionKeysActWhateverTheActivation)
{
    for (QWidget* w : Form1.findChildren<QWidget*>())
        if (qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QLineEdit*>(w))
            w->setFocus(), QTest::keyClick(w, Qt::Key_Home);  // which the component would take too
    EXPECT_EQ(Received(), "$$$$");

    SwitchAway();
    Keys({Qt::Key_A});
    Keys({Qt::Key_1}, Qt::ShiftModifier);
    Keys({Qt::Key_F5, Qt::Key_F6, Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F9});
    EXPECT_EQ(Received(), "A\x10" "1\x07\x07\x07\x11\x07\x07\x07\x12");
}

// The close box closes a dialog. The port request shown again as the focus goes to
// another application (X tells the toolkit some 100 ms late) and after it has gone
// takes nothing back and stays unanswered; another window of the program taking
// over answers it.
TEST_F(Desk, TheCloseBoxClosesAndARequestShownAgainLeavesTheFocusAway)
{
    ProgramState& S = Form1.State();
    ShowMessage(S, Form1.Components(), Message::OverwritePrompt);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Active() == &Form3; }));
    Form3.close();  // refuses, as losing the activation does: no ANNULLA left for the next message
    EXPECT_FALSE(Form3.isVisible() || Form3.Button2->isVisibleTo(&Form3));

    ShowMessage(S, Form1.Components(), Message::ChoosePort);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Active() == &Form3; }));
    SwitchAway([&] { ShowMessage(S, Form1.Components(), Message::ChoosePort); });
    ShowMessage(S, Form1.Components(), Message::ChoosePort);
    QCoreApplication::processEvents();
    EXPECT_EQ(std::tuple(QGuiApplication::focusWindow(), Form3.isVisible(), S.PortPromptStage),
              std::tuple(static_cast<QWindow*>(&other), true, 0));
    Form1.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Form3.isVisible(); }));
    EXPECT_EQ(S.PortPromptStage, 1);
}
