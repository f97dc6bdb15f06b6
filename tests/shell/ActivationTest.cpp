// The main window and its dialogs as the window system drives them: keys handed to the window
// while the toolkit has no active window, another application (a plain QWindow, no window of
// the program) taking the focus and giving it back, Escape and the close box.

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
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

// Keys as the window system hands them to the main window: to the window itself,
// whether the toolkit counts it active or not. Each reaches the device once, and
// F1 to F9 stay menu commands.
TEST_F(Desk, KeysGoOutOnceAndFunctionKeysActWhateverTheActivation)
{
    Keys({Qt::Key_A});
    EXPECT_EQ(Received(), "A");
    for (QWidget* w : Form1.findChildren<QWidget*>())  // whichever text component has the focus
        if (qobject_cast<QPlainTextEdit*>(w) || qobject_cast<QLineEdit*>(w))
            w->setFocus(), QTest::keyClick(w, Qt::Key_Home);  // which the component would take too
    EXPECT_EQ(Received(), "$$$$");

    SwitchAway();  // the window system goes on handing keys to the main window
    Keys({Qt::Key_A});
    Keys({Qt::Key_1}, Qt::ShiftModifier);
    EXPECT_EQ(Received(), "A\x10" "1");
    Keys({Qt::Key_F5, Qt::Key_F6, Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F9});
    EXPECT_EQ(Received(), "\x07\x07\x07\x11\x07\x07\x07\x12");
    Keys({Qt::Key_F5}, Qt::ShiftModifier);
    Keys({Qt::Key_F10});
    EXPECT_EQ(Received(), "\x10\x74\x79");  // Shift, Shift+F5, F10

    other.destroy();  // no focus window at all
    ASSERT_TRUE(QTest::qWaitFor([] { return QGuiApplication::focusWindow() == nullptr; }));
    Keys({Qt::Key_Return, Qt::Key_F5});
    EXPECT_EQ(Received(), "\x0D\x07\x07\x07\x11");

    // An accessibility bridge hands a copy over later, to the component.
    QCoreApplication::postEvent(Form1.Memo(2), new QKeyEvent(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, "b"));
    QCoreApplication::postEvent(Form1.Memo(2), new QKeyEvent(QEvent::KeyPress, Qt::Key_F6, Qt::NoModifier));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(Received(), "B\x07\x07\x07\x12");

    Form1.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Active() == &Form1; }));
    Keys({Qt::Key_F5, Qt::Key_Z});
    EXPECT_EQ(Received(), "\x07\x07\x07\x11Z");
}

// What the desktop tier cannot reach: a dialog shown again while another
// application has the focus, and the close boxes. Escape answers none of them.
TEST_F(Desk, DialogsAnswerOnlyWhatTheySay)
{
    ProgramState& S = Form1.State();
    auto escapeThenCloseBox = [&](QWidget* dialog, const std::function<void()>& show) {
        show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return Active() == dialog; }));
        QTest::keyClick(dialog, Qt::Key_Escape);
        EXPECT_TRUE(dialog->isVisible()) << "Escape closed it";
        dialog->close();
        EXPECT_FALSE(dialog->isVisible());
        ASSERT_TRUE(QTest::qWaitFor([&] { return Active() == &Form1; }));
    };
    // The overwrite prompt's close box refuses; the exit dialog's closes it.
    escapeThenCloseBox(&Form3, [&] { ShowMessage(S, Form1.Components(), Message::OverwritePrompt); });
    EXPECT_FALSE(Form3.Button2->isVisibleTo(&Form3));
    escapeThenCloseBox(&Form2, [&] { Form2.Show(); });

    ShowMessage(S, Form1.Components(), Message::ChoosePort);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Active() == &Form3; }));
    QTest::keyClick(&Form3, Qt::Key_Escape);
    // Shown again as the focus goes (X tells the toolkit some 100 ms late) and after: it takes nothing.
    SwitchAway([&] { ShowMessage(S, Form1.Components(), Message::ChoosePort); });
    ShowMessage(S, Form1.Components(), Message::ChoosePort);
    QCoreApplication::processEvents();
    EXPECT_EQ(std::tuple(QGuiApplication::focusWindow(), Form3.isVisible(), S.PortPromptStage),
              std::tuple(static_cast<QWindow*>(&other), true, 0));
    // Another window of the program taking over acknowledges it.
    Form1.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Form3.isVisible(); }));
    EXPECT_EQ(S.PortPromptStage, 1);
}
