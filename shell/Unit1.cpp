#include "shell/Unit1.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QWindow>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <chrono>
#include <tuple>

#include "link/Exchange.h"
#include "link/Journal.h"
#include "link/Keyboard.h"
#include "link/PortSelection.h"
#include "link/Watchdog.h"
#include "platform/files/StdFileSystem.h"
#include "platform/keys/KeyEvent.h"
#include "platform/serial/PortSetupDialog.h"
#include "link/Router.h"
#include "receive/Reception.h"
#include "platform/serial/PortNames.h"
#include "shell/DialogFolder.h"
#include "shell/Messages.h"
#include "shell/ProcessEnd.h"
#include "shell/Texts.h"
#include "shell/Unit3.h"
#include "shell/Unit2.h"
#include "transmit/Pacing.h"
#include "transmit/Transmission.h"

namespace {

// Form3 is created after Form1; the handlers reach it through this.
class ErrorDialogProxy : public platform::ErrorDialog {
public:
    explicit ErrorDialogProxy(TForm3*& form3) : form3_(form3) {}
    void SetCaption(const std::string& c) override { if (form3_) form3_->SetCaption(c); }
    void SetText(const std::string& t) override
    {
        if (watch)
            watch->Told(t);
        if (form3_)
            form3_->SetText(t);
    }
    TransferWatch* watch = nullptr;  // a transfer that ends with a message ends for it
    void SetButton2Visible(bool v) override { if (form3_) form3_->SetButton2Visible(v); }
    void Show() override { if (form3_) form3_->Show(); }

private:
    TForm3*& form3_;
};

double Seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void Place(QWidget* w, int left, int top, int width, int height, int pointSize)
{
    w->setGeometry(left, top, width, height);
    if (pointSize) {
        QFont f = w->font();
        f.setPointSize(pointSize);
        w->setFont(f);
    }
}

}  // namespace

TForm1::TForm1(int languageFlag)
    : Memo1(new QPlainTextEdit),
      Memo2(new QPlainTextEdit),
      Edit1(new QLineEdit),
      Edit2(new QLineEdit),
      ProgressBar1(new QProgressBar),
      Label2(new QLabel("FILE IN ENTRATA:")),
      Label3(new QLabel("FILE IN USCITA:")),
      Label4(new QLabel("MESSAGGI")),
      ComPort1(this),
      SaveDialog1(this, platform::QtFileDialog::Mode::Save),
      OpenDialog1(this, platform::QtFileDialog::Mode::Open),
      window_(*this),
      memo1_(*Memo1),
      memo2_(*Memo2),
      edit1_(*Edit1),
      edit2_(*Edit2),
      progress_(*ProgressBar1),
      timer1_(Timer1),
      timer2_(Timer2),
      form3Proxy_(std::make_unique<ErrorDialogProxy>(Form3)),
      files_(std::make_unique<platform::StdFileSystem>())
{
    C = std::make_unique<Form1Components>(Form1Components{
        ComPort1, window_, memo1_, memo2_, edit1_, edit2_, progress_, timer1_, timer2_, SaveDialog1,
        OpenDialog1, *form3Proxy_, beeper_, *files_});
    // Both dialogs open where a set was last chosen in either.
    const QString folder = DialogFolder();
    for (platform::QtFileDialog* d : {&SaveDialog1, &OpenDialog1}) {
        d->SetFolder(folder);
        d->OnChosen = [this](const std::string& name) {
            const QString chosen = RememberDialogFolder(QString::fromStdString(name));
            SaveDialog1.SetFolder(chosen);
            OpenDialog1.SetFolder(chosen);
        };
        // Back from the system's dialog is back from a dialog of the program,
        // whether the activation has come back yet or comes later.
        d->OnSystemDialogClosed = [this] {
            if (lastActive_ != this)
                return;
            if (platform::ProgramActiveWindow() == this)
                FormActivate();
            else
                lastActive_ = nullptr;
        };
    }
    watch_ = std::make_unique<TransferWatch>(*files_);
    static_cast<ErrorDialogProxy&>(*form3Proxy_).watch = watch_.get();
    journal_ = std::make_unique<Journal>(*files_, platform::UserDataPath("journal.csv"), "serbox", SERBOX_VERSION,
                                         languageFlag, [this](const std::string& why) { ShowStandardError(why); });

    resize(704, 579);
    move(195, 107);
    auto* panel = new QWidget;
    setCentralWidget(panel);
    for (QWidget* w : std::initializer_list<QWidget*>{Memo1, Edit1, Edit2, Memo2, ProgressBar1, Label2, Label3, Label4})
        w->setParent(panel);
    Place(Memo1, 8, 0, 673, 337, 0);
    Memo1->setFont(QFont("Courier", 8));
    Place(Edit1, 136, 384, 329, 24, 10);
    Place(Edit2, 136, 408, 329, 24, 10);
    Place(Memo2, 136, 432, 545, 65, 10);
    Place(ProgressBar1, 136, 480, 545, 17, 0);
    Place(Label2, 16, 392, 118, 16, 10);
    Place(Label3, 16, 416, 118, 16, 10);
    Place(Label4, 16, 440, 118, 16, 10);
    for (QPlainTextEdit* m : {Memo1, Memo2}) {
        m->setReadOnly(true);
        m->setTabChangesFocus(true);
        m->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m->setLineWrapMode(QPlainTextEdit::NoWrap);
    }
    // Device lines arrive without end; keep the most recent ones.
    Memo1->setMaximumBlockCount(2000);
    Memo2->setMaximumBlockCount(2000);
    Edit1->setReadOnly(true);
    Edit2->setReadOnly(true);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->hide();
    Memo2->setPlainText("Memo2");
    for (const char* line : texts::kHelpIt)
        Memo1->appendPlainText(line);
    for (QWidget* w : std::initializer_list<QWidget*>{Memo1, Edit1, Edit2, Memo2})
        w->installEventFilter(this);
    installEventFilter(this);
    BuildMenu();
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this] { ActiveWindowChanged(); });

    connect(&Timer1, &QTimer::timeout, this, [this] { Guard([this] { Timer1Timer(S, *C); }); });
    connect(&Timer2, &QTimer::timeout, this, [this] { Guard([this] { Timer2Timer(S, *C); }); });
    // Nothing paints before the handler returns: the lines of one event can go
    // to Memo1 together.
    ComPort1.OnRxChar = [this](int count) {
        Guard([this, count] {
            platform::QtTextArea::Batch lines(memo1_);
            ComPort1RxChar(S, *C, count);
        });
    };
    ComPort1.OnTxEmpty = [this] { Guard([this] { ComPort1TxEmpty(S); }); };
    ComPort1.OnLineHeld = [this](bool held) { Guard([this, held] { ComPort1LineHeld(S, *C, held); }); };
    // Inside Open, with the event loop turning: painted before the open returns.
    ComPort1.OnWaiting = [this](const std::string& what) { Guard([this, what] { ComPort1Waiting(S, *C, what); }); };
    // What the port went ahead without (a device server ignoring DTR and RTS).
    ComPort1.OnNote = [this](const std::string& what) { Guard([this, what] { memo2_.AppendLine(what); }); };
    ComPort1.OnLineErrors = [this](const platform::LineErrors& seen) {
        Guard([this, seen] { ComPort1LineErrors(S, *C, seen); });
    };
    ComPort1.OnError = [this](const std::string& msg) {
        std::string text = msg;
        watch_->Told(msg);
        if (!closed_ && PortLost(S, *C))
            text += S.LanguageFlag == 0 ? "\nTrasferimento interrotto." : "\nTransfer abandoned.";
        Journaled();
        ShowStandardError(text);
    };

    FormCreate(languageFlag);
}

TForm1::~TForm1()
{
    closed_ = true;
    ComPort1.OnRxChar = nullptr;
    ComPort1.OnTxEmpty = nullptr;
    ComPort1.OnLineHeld = nullptr;
    ComPort1.OnWaiting = nullptr;
    ComPort1.OnNote = nullptr;
    ComPort1.OnLineErrors = nullptr;
    ComPort1.OnError = nullptr;
}

void TForm1::BuildMenu()
{
    auto shortcut = [this](MenuCommand command, QAction* a) {
        const int n = static_cast<int>(command);
        a->setShortcut(QKeySequence(Qt::Key_F1 + n - 1));
        menuKeys_[n - 1] = a;
    };
    auto add = [this, shortcut](const char* caption, MenuCommand command, std::function<void()> handler) {
        QAction* a = menuBar()->addAction(caption);
        shortcut(command, a);
        if (handler)
            connect(a, &QAction::triggered, this, [this, handler] { Guard(handler); });
    };
    add("Help-F1", MenuCommand::Help, nullptr);
    add("Hex-F2", MenuCommand::Hex, nullptr);
    add("Print-F3", MenuCommand::Print, nullptr);
    add("Exit-F4", MenuCommand::Exit, [this] { if (Form2) Form2->Show(); });
    add("K.on-F5", MenuCommand::KeyOn, [this] { KonF51Click(S, *C); });
    add("K.off-F6", MenuCommand::KeyOff, [this] { KoffF61Click(S, *C); });
    add("File in-F7", MenuCommand::FileIn, [this] { FileinF71Click(S, *C); });
    add("File out-F8", MenuCommand::FileOut, [this] { FileoutF81Click(S, *C); });
    QMenu* setup = menuBar()->addMenu("Setup");
    // F9 only opens the submenu; it sends nothing.
    auto* f9 = new QAction(this);
    shortcut(MenuCommand::Setup, f9);
    addAction(f9);
    for (int n = 1; n <= platform::kMenuPorts; ++n) {
        QAction* a = setup->addAction(QString("COM %1").arg(n));
        connect(a, &QAction::triggered, this, [this, n] { Guard([this, n] { SelectPort(S, *C, n); }); });
    }
    setupItem_ = setup->addAction(texts::kPortSetupItem[1]);
    connect(setupItem_, &QAction::triggered, this, [this] { Guard([this] { PortSetup(); }); });
}

// The setup dialog at any time: a choice that changes the port, its device or its
// line is taken as a menu choice; Cancel, or OK on what was there, changes nothing.
void TForm1::PortSetup()
{
    const auto now = [this] {
        const std::string name = ComPort1.Port();
        const platform::LineSettings l = ComPort1.Settings();
        return std::tuple(name, ComPort1.DeviceFor(name), l.BaudRate, l.DataBits, l.Stop, l.ParityBits, l.ParityCheck,
                          l.Flow);
    };
    const auto before = now();
    ComPort1.ShowSetupDialog();
    if (now() != before && !closed_)
        TakeSetupChoice(S, *C);
}

QAction* TForm1::Action(const QString& caption) const
{
    for (QAction* a : menuBar()->findChildren<QAction*>())
        if (a->text() == caption)
            return a;
    return nullptr;
}

QLabel* TForm1::Label(int n) const { return n == 2 ? Label2 : n == 3 ? Label3 : Label4; }

void TForm1::Attach(TForm2* form2, TForm3* form3)
{
    Form2 = form2;
    Form3 = form3;
}

void TForm1::FormCreate(int languageFlag)
{
    // The state starts zeroed and the fields empty; the block buffer grows on use.
    S.LanguageFlag = languageFlag;
    Timer1.setInterval(1000);
    Timer1.start();
    Timer2.setInterval(100);
    if (S.LanguageFlag == 1) {
        Memo1->clear();
        for (const char* line : texts::kHelpEn)
            Memo1->appendPlainText(line);
        Label2->setText("FILE TO RECEIVE:");
        Label3->setText("FILE TO TRASMIT:");
        Label4->setText("MESSAGES:");
    }
    // A system font wider than the form was laid out for (Wine's stand-in for
    // the Windows one is) would hide the labels' ends behind the fields: they
    // grow leftwards, as far as the window's edge, their left edges in line.
    const int right = Label2->geometry().right() + 1;
    int width = Label2->width();
    for (QLabel* l : {Label2, Label3, Label4})
        width = std::max(width, std::min(l->sizeHint().width(), right));
    for (QLabel* l : {Label2, Label3, Label4})
        l->setGeometry(right - width, l->y(), width, l->height());
    setupItem_->setText(texts::kPortSetupItem[S.LanguageFlag]);
    // What a screen reader says for the text components: the fields after their
    // labels, the two text areas after what they hold.
    const auto named = [](QWidget* w, const QString& name) { w->setAccessibleName(name); };
    named(Edit1, Label2->text().remove(':'));
    named(Edit2, Label3->text().remove(':'));
    named(Memo1, S.LanguageFlag == 0 ? "Messaggi del dispositivo" : "Device messages");
    named(Memo2, S.LanguageFlag == 0 ? "Riga dei messaggi" : "Message line");
    Label2->setBuddy(Edit1);
    Label3->setBuddy(Edit2);
    Label4->setBuddy(Memo2);
}

void TForm1::FormActivate()
{
    Memo2->setFocus();
    setWindowTitle(QString::fromStdString(TitleSpaced(S.PortNumber)));
    Memo2->appendPlainText(S.LanguageFlag == 0 ? "ATTENZIONE: I COMANDI DI MENU' PER IL DISPOSITIVO (S/N Y/N)"
                                               : "CAUTION! THE MENU COMMANDS FOR THE DEVICE (S/N Y/N) ");
    Memo2->appendPlainText(S.LanguageFlag == 0 ? "DEVONO ESSERE IMPOSTATI IN LETTERE MAIUSCOLE !"
                                               : "MUST BE IN CAPITAL LETTERS!");
}

void TForm1::ActiveWindowChanged()
{
    if (closed_)
        return;
    QWidget* now = platform::ProgramActiveWindow();
    // Another application has the focus: inside the program nothing changed, and
    // the dialogs stay as they are.
    if (!now)
        return;
    // The port setup dialog belongs to the tick that opens it, and the main window
    // stays the program's active one behind it: the window manager handing the
    // focus back once it has gone, after the tick has ended, is no activation.
    if (qobject_cast<platform::PortSetupDialog*>(now))
        now = this;
    QWidget* before = lastActive_;
    lastActive_ = now;
    // A dialog closes when it stops being the program's active window.
    if (Form2)
        Form2->ActiveWindowIs(now);
    if (Form3)
        Form3->ActiveWindowIs(now);
    if (now == this && before != this)
        FormActivate();
}

void TForm1::ReturnFromDialog(QWidget* dialog)
{
    if (!closed_ && lastActive_ == dialog)
        activateWindow();
}

void TForm1::FormClose()
{
    if (auto r = watch_->Abandoned(S, ClosedMidTransfer(S.LanguageFlag), Seconds())) {
        r->Port = ComPort1.Port();
        r->Device = ComPort1.DeviceFor(r->Port);
        journal_->Write(*r);
    }
    DropAbandonedReception(S, *C);
    closed_ = true;
    Timer1.stop();
    Timer2.stop();
}

bool TForm1::event(QEvent* e)
{
    // The first activation also where nothing activates a new window by itself.
    if (e->type() == QEvent::Show && !shown_) {
        shown_ = true;
        activateWindow();
    }
    return QMainWindow::event(e);
}

bool TForm1::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::KeyPress && KeyDown(watched, static_cast<QKeyEvent*>(e)))
        return true;
    return QMainWindow::eventFilter(watched, e);
}

// Every key press of the main window, once. The window system hands a key to the
// window's focus component whether or not the window counts as active, and a key
// the component leaves goes on to the window; an accessibility bridge may hand a
// copy over later instead of the original. Each of these is one press.
bool TForm1::KeyDown(QObject* watched, QKeyEvent* key)
{
    const bool component = watched == Memo1 || watched == Memo2 || watched == Edit1 || watched == Edit2;
    if (!component && watched != this)
        return false;
    const SeenKey seen{key, key->key(), key->nativeScanCode(), key->timestamp()};
    if (watched == this && seen == seenKey_) {
        seenKey_ = {};
        return false;
    }
    const platform::KeyPress k = platform::KeyPressOf(*key);
    // Here only when the menu's shortcut did not take the key: the window was not
    // the active one as far as the toolkit knew. The command runs all the same.
    if (const int f = MenuKey(k.VirtualKey, k.Mods)) {
        seenKey_ = {};
        if (menuKeys_[f - 1])
            menuKeys_[f - 1]->trigger();
        return true;
    }
    seenKey_ = component ? seen : SeenKey{};
    Guard([this, k] { Memo2KeyDown(S, *C, k.VirtualKey, k.Mods); });
    return false;  // the key is not consumed
}

void TForm1::Exit()
{
    exitChosen_ = true;
    close();
}

void TForm1::closeEvent(QCloseEvent* e)
{
    // The close box, Alt+F4 or a logout in the middle of a transfer asks first,
    // as F4 does: the device's program may be half saved or half loaded.
    if (TransferUnderWay(S) && !exitChosen_ && Form2) {
        e->ignore();
        Form2->Show();
        return;
    }
    FormClose();
    if (Form2)
        Form2->hide();
    if (Form3)
        Form3->hide();
    e->accept();
}

void TForm1::Guard(const std::function<void()>& handler)
{
    if (!closed_)
        RunAndReport(handler, [this](const std::string& message) { ShowStandardError(message); });
    Journaled();
}

void TForm1::Journaled()
{
    if (closed_)
        return;
    if (auto r = watch_->After(S, [this] { return memo2_.Text(); }, Seconds())) {
        r->Port = ComPort1.Port();
        r->Device = ComPort1.DeviceFor(r->Port);
        journal_->Write(*r);
    }
}

void TForm1::ShowStandardError(const std::string& message)
{
    if (OnStandardError)
        OnStandardError(message);
    // Not modal: the line and the timers go on behind it.
    auto* box = new QMessageBox(QMessageBox::Critical, "serbox", QString::fromStdString(message),
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}
