#include <gtest/gtest.h>

#include <QAccessible>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QLabel>
#include <QProgressBar>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <optional>
#include <tuple>

#include "shell/Messages.h"
#include "tests/support/Windows.h"

TEST(Windows, MenuCaptionsAndTheCautionWhenActivated)
{
    Windows w(0);
    QStringList captions;
    for (QAction* a : w.Form1.menuBar()->actions())
        captions << a->text();
    EXPECT_EQ(captions, (QStringList{"Help-F1", "Hex-F2", "Print-F3", "Exit-F4", "K.on-F5", "K.off-F6",
                                     "File in-F7", "File out-F8", "Setup"}));
    EXPECT_EQ(std::tuple(!!w.Form1.Action("COM 1"), !!w.Form1.Action("COM 4"), !!w.Form1.Action("COM 5")),
              std::tuple(true, true, false));
    // Again each time a dialog hands back to it: tests/desktop counts them.
    w.Form1.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Lines(2).size() == 3; }));
    EXPECT_EQ(w.Lines(2), (QStringList{"Memo2", "ATTENZIONE: I COMANDI DI MENU' PER IL DISPOSITIVO (S/N Y/N)",
                                       "DEVONO ESSERE IMPOSTATI IN LETTERE MAIUSCOLE !"}));
}

// As the window opens: the watchdog ticking each second, the pacing timer waiting at 100 ms,
// no text component taking typed text, the device's lines capped, the build's help, no progress.
TEST(Windows, OpensInTheBuildsLanguageReadOnlyWithTheWatchdogTicking)
{
    for (int lang : {0, 1}) {
        SCOPED_TRACE(lang ? "English" : "Italian");
        TForm1 f(lang);
        EXPECT_EQ(std::tuple(f.Timer(1).isActive(), f.Timer(1).interval(), f.Timer(2).isActive(), f.Timer(2).interval()),
                  std::tuple(true, 1000, false, 100));
        EXPECT_TRUE(f.Progress()->isHidden());
        const QStringList help = f.Memo(1)->toPlainText().split('\n');
        EXPECT_EQ(help.first().toStdString(), lang ? "KORVEL Beta version for VARN Hand-helds QRA(2x16)/** with **>10"
                                     : "KORVEL versione preliminare ridotta valida solo per le pulsantiere VARN");
        EXPECT_EQ(help.size(), lang ? 10 : 14);
        EXPECT_EQ(f.Label(2)->text(), lang ? "FILE TO RECEIVE:" : "FILE IN ENTRATA:");
        // Each part read-only, and where nothing else hides it (the progress bar
        // lies over the message line's foot on purpose).
        f.show();
        QList<QWidget*> parts = {f.Memo(1), f.Memo(2), f.Label(2), f.Label(3), f.Label(4)};
        for (int m : {1, 2})
            EXPECT_EQ(std::pair(f.Memo(m)->isReadOnly(), f.Memo(m)->maximumBlockCount() > 0), std::pair(true, true)) << m;
        for (QLineEdit* e : f.findChildren<QLineEdit*>()) {
            parts << e;
            EXPECT_EQ(std::pair(e->isReadOnly(), e->text().toStdString()), std::pair(true, std::string()));
        }
        for (QWidget* a : parts) {
            EXPECT_TRUE(f.centralWidget()->rect().contains(a->geometry())) << a->objectName().toStdString();
            for (QWidget* b : parts)
                EXPECT_TRUE(a == b || !a->geometry().intersects(b->geometry())) << a->objectName().toStdString();
        }
        f.close();
        EXPECT_EQ(std::pair(f.Timer(1).isActive(), f.Timer(2).isActive()), std::pair(false, false));
    }
}

// A system font wider than the one the form was laid out for (Wine's stand-in for
// the Windows one is) shows each label whole, the labels still in line.
TEST(Windows, LabelsShowTheirWholeTextInAWideFont)
{
    const QFont system = QApplication::font();
    QApplication::setFont(QFont("DejaVu Serif", 12));
    for (int lang : {0, 1}) {
        TForm1 f(lang);
        for (int n : {2, 3, 4})
            EXPECT_EQ(std::tuple(f.Label(n)->width() >= f.Label(n)->sizeHint().width(), f.Label(n)->x()),
                      std::tuple(true, f.Label(2)->x())) << f.Label(n)->text().toStdString();
    }
    QApplication::setFont(system);
}

TEST(Windows, ExitDialogSelectsTheFirstItemAndIgnoresAnEditedLine)
{
    Windows w(1);
    w.Form2.Show();
    w.Form2.ComboBox1->setCurrentIndex(2);
    w.Form2.Show();
    EXPECT_EQ(w.Form2.ComboBox1->currentIndex(), 0);
    w.Form2.ComboBox1->setEditText("typed");
    w.Form2.Button1Click();
    EXPECT_TRUE(w.Form2.isVisible());  // no item selected: nothing happens
    w.Form2.ComboBox1->setCurrentIndex(2);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(w.Form2.ComboBox1, &enter);
    EXPECT_FALSE(w.Form2.isVisible());  // Enter ran OK with ANNULLA
    // Closing the main window in command state, which holds nothing of the user's,
    // asks nothing and takes its dialogs with it.
    w.Form1.show();
    w.Form2.Show();
    ShowMessage(w.Form1.State(), w.Form1.Components(), Message::PortTimeOut);
    w.S().RxState = RxCommand;
    EXPECT_TRUE(w.Form1.close());
    EXPECT_FALSE(w.Form1.isVisible() || w.Form2.isVisible() || w.Form3.isVisible());
}

// A message naming a long path, or giving its reason on a second line, is read
// whole: the dialog grows, and its button stays below the text.
TEST(Windows, TheErrorDialogShowsALongMessageWhole)
{
    Windows w(1);
    w.Form3.SetText("Cannot write /home/technician/Documents/plant 4/line 12/keypads/QRA-0042.hdr\n"
                    "the folder is missing or read-only");
    w.Form3.Show();
    const QRect text = w.Form3.Label1->geometry(), button = w.Form3.Button1->geometry();
    EXPECT_TRUE(text.right() <= w.Form3.width() && button.top() > text.bottom() && button.bottom() <= w.Form3.height());
}

TEST(Windows, AnEscapingErrorIsReportedAndTheProgramGoesOn)
{
    Windows w(1);
    std::string reported;
    w.Form1.OnStandardError = [&](const std::string& m) { reported += m + '|'; };
    w.Form1.Guard([] { throw std::runtime_error("port gone"); });
    w.Form1.Guard([&] { reported += "and on|"; });
    auto* box = w.Form1.findChild<QMessageBox*>();  // not modal: the line and the timers go on
    ASSERT_TRUE(box);
    EXPECT_EQ(std::pair(box->isVisible(), box->isModal()), std::pair(true, false));
    w.Form1.Port().OnError("gone");  // a vanished port: whether it cut a transfer short
    w.Form1.State().RxState = 2;
    w.Form1.Port().OnError("gone");
    EXPECT_EQ(reported, "port gone|and on|gone|gone\nTransfer abandoned.|");
}

TEST(Windows, OnlyAButtonAnswersTheOverwritePromptAndAnnullaKeepsTheChosenSet)
{
    Windows w(1);
    ProgramState& S = w.S();
    QTemporaryDir dir;
    const std::string fresh = dir.filePath("NEW.TXT").toStdString(), old = dir.filePath("OLD.TXT").toStdString();
    std::ofstream(old) << "keep";
    w.ChooseFileIn(fresh);
    const ProgramState before = S;
    w.ChooseFileIn(old);
    ASSERT_EQ(S.ErrorKind, 2);
    EXPECT_EQ(std::tuple(w.Form3.windowTitle(), w.Form3.Label1->text(), w.Form3.Button2->isVisibleTo(&w.Form3)),
              std::tuple("AVVISO", "File already present  - Overwrite ?", true));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(w.Form3.Button1, &enter);
    EXPECT_TRUE(w.Form3.isVisible());  // Enter does not answer the overwrite prompt
    w.Form3.Button2->click();  // ANNULLA
    EXPECT_FALSE(w.Form3.isVisible() || w.Form3.Button2->isVisibleTo(&w.Form3));
    EXPECT_EQ(std::tuple(S.RxFileName, S.RxHdrPath, S.RxSrcPath), std::tuple(before.RxFileName, before.RxHdrPath, before.RxSrcPath));
    EXPECT_EQ(w.Form1.Components().Edit1.Text(), fresh);
    std::ifstream in(old);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep");
    w.ChooseFileIn(old);
    w.Form3.Button1->click();  // OK: the stored set's name is taken (its files are kept until a reception)
    EXPECT_EQ(std::pair(w.Form3.isVisible(), w.Form1.Components().Edit1.Text()), std::pair(false, old));
    // Enter answers the other messages: desktop_start-up and desktop_dialogs press it.
}

// A screen reader reads each text component by name, in the build's language.
TEST(Windows, TextComponentsAreNamedForScreenReaders)
{
    Windows w(0);  // the English names: tests/desktop reads them from the accessibility bus
    w.Form1.show();
    const auto edits = w.Form1.findChildren<QLineEdit*>();
    QStringList names;
    for (QWidget* c : std::initializer_list<QWidget*>{w.Form1.Memo(1), edits[0], edits[1], w.Form1.Memo(2)})
        names << QAccessible::queryAccessibleInterface(c)->text(QAccessible::Name);
    EXPECT_EQ(names, QStringList({"Messaggi del dispositivo", "FILE IN ENTRATA", "FILE IN USCITA", "Riga dei messaggi"}));
    // And tells which label belongs to each field and to the message line.
    for (auto [c, label] : {std::pair<QWidget*, int>{edits[0], 2}, {edits[1], 3}, {w.Form1.Memo(2), 4}}) {
        const auto labels = QAccessible::queryAccessibleInterface(c)->relations(QAccessible::Label);
        ASSERT_EQ(labels.size(), 1) << label;
        EXPECT_EQ(labels[0].first->object(), w.Form1.Label(label)) << label;
    }
}
