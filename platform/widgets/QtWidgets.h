#pragma once
// Qt widgets behind the toolkit interfaces. Texts cross as Latin-1: device bytes
// are shown one character a byte, with no code-page conversion.

#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "platform/widgets/Toolkit.h"

class QFileDialog;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QTimer;
class QWidget;

namespace platform {

inline QString ToQt(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }
inline std::string FromQt(const QString& s)
{
    const QByteArray b = s.toLatin1();
    return std::string(b.constData(), static_cast<size_t>(b.size()));
}

// The program's text components are read-only, and every key pressed in them goes
// to the device. So none goes to an input method (a dead key or a compose sequence
// would swallow the keys that make it up) and none opens a context menu (the Menu
// key goes to the device too). The text area and field adapters make their
// widgets so.
void PassEveryKey(QWidget& w);

class QtWindow : public Window {
public:
    explicit QtWindow(QWidget& w) : w_(w) {}
    void SetTitle(const std::string& title) override;
    std::string Title() const override;

private:
    QWidget& w_;
};

// Appending a line costs the widget a layout pass and a scroll. While a Batch
// lives, lines are only collected; when the last Batch ends they go to the widget
// in one append, no more of them than the widget's cap keeps. Every other call
// sees the collected lines as already appended.
class QtTextArea : public TextArea {
public:
    explicit QtTextArea(QPlainTextEdit& w);
    void AppendLine(const std::string& line) override;
    void Clear() override;
    void SetText(const std::string& text) override;
    std::string Text() const override;
    void SetFocus() override;

    class Batch {
    public:
        explicit Batch(QtTextArea& area) : area_(area) { ++area_.batches_; }
        ~Batch()
        {
            if (--area_.batches_ == 0)
                area_.Flush();
        }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        QtTextArea& area_;
    };

private:
    void Flush() const;
    void Append(QString lines) const;
    void DropBeyond(size_t keep) const;
    int DropOldest(int lines) const;

    QPlainTextEdit& w_;
    int batches_ = 0;
    mutable std::string pending_;  // lines waiting, each ended by "\n"
    mutable size_t pendingLines_ = 0;
};

class QtField : public Field {
public:
    explicit QtField(QLineEdit& w);
    void SetText(const std::string& text) override;
    std::string Text() const override;

private:
    QLineEdit& w_;
};

class QtProgressBar : public ProgressBar {
public:
    explicit QtProgressBar(QProgressBar& w) : w_(w) {}
    void Show() override;
    void Hide() override;
    bool Visible() const override;
    void SetPosition(int position) override;
    int Position() const override;
    void Step() override;

private:
    QProgressBar& w_;
};

class QtTimer : public Timer {
public:
    explicit QtTimer(QTimer& t) : t_(t) {}
    void SetEnabled(bool on) override;
    bool Enabled() const override;
    void SetInterval(int ms) override;
    int Interval() const override;

private:
    QTimer& t_;
};

// The program's active window; null while another application has the focus.
// The one test for "the user is elsewhere": the main window and the dialogs
// leave their state alone then.
QWidget* ProgramActiveWindow();

// A modal dialog (file, port setup) has just closed: a window shown by the same
// handler first calls AwaitActivationBack, which waits, with every event delivered
// meanwhile, until the window manager has handed the activation back to owner's
// window, at most a couple of seconds. Some hand it back only after the handler
// has gone on, and a dialog shown in between would lose the activation at once
// and close itself. From any later event it returns at once.
void NoteModalClosed();
void AwaitActivationBack(QWidget* owner);

// A file dialog that waits for the user; timers and serial events go on meanwhile.
// The system's own dialog where there is one (Windows: its language, Quick access,
// network places). It opens in Folder, whatever the working folder; OnChosen hears
// each name chosen. Tests and scripted runs answer through SetChooser instead of a
// real dialog: the chooser returns a name, or nothing for a cancel.
class QtFileDialog : public FileDialog {
public:
    enum class Mode { Open, Save };
    QtFileDialog(QWidget* parent, Mode mode) : parent_(parent), mode_(mode) {}
    bool Execute() override;
    std::string FileName() const override { return name_; }
    void SetFileName(const std::string& name) override { name_ = name; }
    void SetChooser(std::function<std::optional<std::string>()> chooser) { chooser_ = std::move(chooser); }
    void SetFolder(const QString& folder) { folder_ = folder; }
    QString Folder() const { return folder_; }
    std::function<void(const std::string& name)> OnChosen;
    // The system's dialog has closed. It is no window of the toolkit's: the
    // program saw the activation go elsewhere, not to a dialog of its own.
    std::function<void()> OnSystemDialogClosed;

private:
    QWidget* parent_;
    Mode mode_;
    std::string name_;
    QString folder_;
    std::function<std::optional<std::string>()> chooser_;
};

class QtBeeper : public Beeper {
public:
    void Beep() override;
};

}  // namespace platform
