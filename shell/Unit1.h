#pragma once
// The main window: owns the program state, the serial port, both timers, both file
// dialogs and the visible controls, and routes every menu command, key, tick and
// port event to the plain handlers of link/, receive/ and transmit/.
//
// Hooks for tests and scripted runs: State(), Components(), Port(), Action(caption)
// to trigger a menu item as a user would, SaveDialog()/OpenDialog() to answer the
// file dialogs with SetChooser instead of a modal dialog, and OnStandardError to
// see what the standard error report showed.

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "link/Keyboard.h"
#include "platform/serial/SerialComponent.h"
#include "platform/widgets/QtWidgets.h"
#include "shell/Form1Components.h"
#include "shell/ProgramState.h"

class QAction;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class TForm2;
class TForm3;
class TransferWatch;
class Journal;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(int languageFlag);
    ~TForm1() override;

    ProgramState& State() { return S; }
    Form1Components& Components() { return *C; }
    platform::SerialComponent& Port() { return ComPort1; }
    platform::QtFileDialog& SaveDialog() { return SaveDialog1; }
    platform::QtFileDialog& OpenDialog() { return OpenDialog1; }
    QAction* Action(const QString& caption) const;
    QPlainTextEdit* Memo(int n) const { return n == 1 ? Memo1 : Memo2; }
    QProgressBar* Progress() const { return ProgressBar1; }
    QLabel* Label(int n) const;
    QTimer& Timer(int n) { return n == 1 ? Timer1 : Timer2; }

    void Attach(TForm2* form2, TForm3* form3);
    // The exit dialog's first choice: closes the window even during a transfer.
    void Exit();
    // A dialog of the program has closed. When it was the program's active window,
    // the main window takes over; when another window of the program already has,
    // that one keeps the activation.
    void ReturnFromDialog(QWidget* dialog);

    // Runs a handler; an error escaping it goes to the standard error report and
    // the program goes on. Protocol handlers no longer run once the window closed.
    void Guard(const std::function<void()>& handler);
    void ShowStandardError(const std::string& message);
    std::function<void(const std::string&)> OnStandardError;

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void FormCreate(int languageFlag);
    void FormActivate();
    void FormClose();
    void BuildMenu();
    void PortSetup();
    void ActiveWindowChanged();
    bool KeyDown(QObject* watched, QKeyEvent* key);

    ProgramState S;
    QPlainTextEdit* Memo1;
    QPlainTextEdit* Memo2;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QProgressBar* ProgressBar1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QTimer Timer1;
    QTimer Timer2;
    platform::SerialComponent ComPort1;
    platform::QtFileDialog SaveDialog1;
    platform::QtFileDialog OpenDialog1;

    platform::QtWindow window_;
    platform::QtTextArea memo1_, memo2_;
    platform::QtField edit1_, edit2_;
    platform::QtProgressBar progress_;
    platform::QtTimer timer1_, timer2_;
    platform::QtBeeper beeper_;
    std::unique_ptr<platform::ErrorDialog> form3Proxy_;
    std::unique_ptr<platform::FileSystem> files_;
    std::unique_ptr<Form1Components> C;
    // The journal of transfers, kept as serbox-cli keeps it (link/Journal.h).
    std::unique_ptr<TransferWatch> watch_;
    std::unique_ptr<Journal> journal_;
    void Journaled();

    TForm2* Form2 = nullptr;
    TForm3* Form3 = nullptr;
    QAction* menuKeys_[kMenuCommands] = {};
    QAction* setupItem_ = nullptr;
    bool closed_ = false;
    bool exitChosen_ = false;
    bool shown_ = false;
    // The last window of the program that was active. Another application taking
    // the focus does not change it, so coming back is told from a hand-over.
    QPointer<QWidget> lastActive_;
    // A key press that a text component has sent and did not take: when it goes
    // on to the window it is the same press, not a second one.
    struct SeenKey {
        const QEvent* event = nullptr;
        int key = 0;
        quint32 scanCode = 0;
        quint64 timestamp = 0;
        bool operator==(const SeenKey&) const = default;
    } seenKey_;
};
