#include "platform/widgets/QtWidgets.h"

#include "platform/widgets/System.h"

#include <QApplication>
#include <QEventLoop>
#include <QWindow>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputMethodQueryEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>

namespace platform {

namespace {

// Tells the input method the widget takes no input, whatever the widget itself
// says (a read-only text area says it does).
class NoInputMethod : public QObject {
public:
    explicit NoInputMethod(QWidget& w) : QObject(&w), w_(w) {}
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() != QEvent::InputMethodQuery)
            return false;
        auto* query = static_cast<QInputMethodQueryEvent*>(e);
        for (unsigned bit = 1; bit != 0; bit <<= 1)
            if (const auto q = static_cast<Qt::InputMethodQuery>(query->queries().toInt() & bit))
                query->setValue(q, q == Qt::ImEnabled ? QVariant(false) : w_.inputMethodQuery(q));
        return true;
    }

private:
    QWidget& w_;
};

// A text area's empty lines are told from its having none by a mark on its only
// block, which a clear or a new text never carries.
constexpr int kEmptyLine = 1;

}  // namespace

void PassEveryKey(QWidget& w)
{
    w.setAttribute(Qt::WA_InputMethodEnabled, false);
    w.installEventFilter(new NoInputMethod(w));
    w.setContextMenuPolicy(Qt::PreventContextMenu);
}

QtTextArea::QtTextArea(QPlainTextEdit& w) : w_(w) { PassEveryKey(w); }
QtField::QtField(QLineEdit& w) : w_(w) { PassEveryKey(w); }

void QtWindow::SetTitle(const std::string& title) { w_.setWindowTitle(ToQt(title)); }
std::string QtWindow::Title() const { return FromQt(w_.windowTitle()); }

void QtTextArea::AppendLine(const std::string& line)
{
    if (batches_ == 0) {
        Append(ToQt(line));
        return;
    }
    pending_ += line;
    pending_ += '\n';
    ++pendingLines_;
    // A flood of lines in one event holds no more than twice what the widget keeps.
    const int cap = w_.maximumBlockCount();
    if (cap > 0 && pendingLines_ >= 2 * static_cast<size_t>(cap))
        DropBeyond(static_cast<size_t>(cap));
}

// An empty widget shows one empty line and no line alike, and appending to it
// fills its first line: an empty line there must stay a line.
void QtTextArea::Append(QString lines) const
{
    QTextDocument& doc = *w_.document();
    if (doc.isEmpty() && doc.firstBlock().userState() == kEmptyLine)
        lines.prepend('\n');
    w_.appendPlainText(lines);
    if (doc.isEmpty())
        doc.firstBlock().setUserState(kEmptyLine);
}

// Drops the oldest waiting lines, the ones the widget's cap would drop at once.
void QtTextArea::DropBeyond(size_t keep) const
{
    if (pendingLines_ <= keep)
        return;
    size_t cut = 0;
    for (size_t n = pendingLines_ - keep; n > 0; --n)
        cut = pending_.find('\n', cut) + 1;
    pending_.erase(0, cut);
    pendingLines_ = keep;
}

void QtTextArea::Flush() const
{
    if (pendingLines_ == 0)
        return;
    QScrollBar& bar = *w_.verticalScrollBar();
    const int top = bar.value();
    const bool following = top == bar.maximum();
    int removed = 0;
    const int cap = w_.maximumBlockCount();
    if (cap > 0) {
        DropBeyond(static_cast<size_t>(cap));
        removed = DropOldest(static_cast<int>(pendingLines_) + w_.document()->blockCount() - cap);
    }
    pending_.pop_back();  // appendPlainText starts the first line itself
    // One append of several lines, and one repaint: a scroll with updates on
    // lays out every line it passes, shown or not.
    QWidget& view = *w_.viewport();
    const bool updates = view.updatesEnabled();
    view.setUpdatesEnabled(false);
    Append(ToQt(pending_));
    view.setUpdatesEnabled(updates);
    view.update();
    pending_.clear();
    pendingLines_ = 0;
    // A reader scrolled back keeps the same lines in view, as with single appends.
    if (!following && removed > 0)
        bar.setValue(std::max(0, top - removed));
}

// The widget trims to its cap through a cursor that lays out every line it
// passes; positions set inside an edit block lay out nothing. Returns how many of
// the lines above were removed.
int QtTextArea::DropOldest(int lines) const
{
    QTextDocument& doc = *w_.document();
    const int blocks = doc.blockCount();
    if (lines <= 0)
        return 0;
    // A lone empty line left over would take in the first new line: the widget
    // trims that one itself.
    if (lines == blocks - 1 && doc.lastBlock().length() == 1)
        --lines;
    if (lines <= 0)
        return 0;
    QTextCursor c(&doc);
    c.beginEditBlock();
    c.setPosition(lines >= blocks ? doc.characterCount() - 1 : doc.findBlockByNumber(lines).position(),
                  QTextCursor::KeepAnchor);
    c.removeSelectedText();
    c.endEditBlock();
    return std::min(lines, blocks);
}

void QtTextArea::Clear()
{
    pending_.clear();
    pendingLines_ = 0;
    w_.clear();
}

void QtTextArea::SetText(const std::string& text)
{
    pending_.clear();
    pendingLines_ = 0;
    w_.setPlainText(ToQt(text));
}

std::string QtTextArea::Text() const
{
    Flush();
    return FromQt(w_.toPlainText());
}
void QtTextArea::SetFocus() { w_.setFocus(); }

// The fields hold file names, which are UTF-8 like every name of the program.
void QtField::SetText(const std::string& text) { w_.setText(QString::fromStdString(text)); }
std::string QtField::Text() const { return w_.text().toStdString(); }

void QtProgressBar::Show() { w_.show(); }
void QtProgressBar::Hide() { w_.hide(); }
bool QtProgressBar::Visible() const { return !w_.isHidden(); }
void QtProgressBar::SetPosition(int position) { w_.setValue(std::clamp(position, 0, 100)); }
int QtProgressBar::Position() const { return w_.value(); }
void QtProgressBar::Step() { SetPosition(w_.value() + 2); }

void QtTimer::SetEnabled(bool on)
{
    if (on && !t_.isActive())
        t_.start();
    else if (!on)
        t_.stop();
}
bool QtTimer::Enabled() const { return t_.isActive(); }
void QtTimer::SetInterval(int ms) { t_.setInterval(ms); }
int QtTimer::Interval() const { return t_.interval(); }

namespace {
bool modalJustClosed = false;
}

QWidget* ProgramActiveWindow() { return QGuiApplication::focusWindow() ? QApplication::activeWindow() : nullptr; }

void NoteModalClosed()
{
    modalJustClosed = true;
    QTimer::singleShot(0, [] { modalJustClosed = false; });
}

void AwaitActivationBack(QWidget* owner)
{
    QWidget* window = owner ? owner->window() : nullptr;
    if (!modalJustClosed || !window || !window->isVisible() || QApplication::activeWindow() == window)
        return;
    modalJustClosed = false;
    QEventLoop wait;
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &wait, &QEventLoop::quit);
    QObject::connect(qApp, &QGuiApplication::focusWindowChanged, &wait, [&wait, window] {
        if (QApplication::activeWindow() == window)
            wait.quit();
    });
    limit.start(2000);
    wait.exec();
}

bool QtFileDialog::Execute()
{
    std::optional<std::string> chosen;
    if (chooser_) {
        chosen = chooser_();
    } else {
        QFileDialog dialog(parent_);
        if (!kSystemFileDialogs)
            dialog.setOption(QFileDialog::DontUseNativeDialog);
        // Titled as Qt titles its own, in the build's language: the system's
        // dialog is not titled everywhere (Wine's has no title of its own).
        dialog.setWindowTitle(QCoreApplication::translate("QFileDialog", mode_ == Mode::Save ? "Save As" : "Open"));
        // *.TXT matches .txt too.
        dialog.setNameFilter("VARN TXT FILES (*.TXT *.txt)");
        if (!folder_.isEmpty())
            dialog.setDirectory(folder_);
        if (mode_ == Mode::Save) {
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setDefaultSuffix("TXT");
            // The program asks its own overwrite question.
            dialog.setOption(QFileDialog::DontConfirmOverwrite);
        } else {
            dialog.setFileMode(QFileDialog::ExistingFile);
        }
        // The name chosen before, offered again in the folder the dialog opens in.
        if (!name_.empty())
            dialog.selectFile(QFileInfo(QString::fromStdString(name_)).fileName());
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().first().toStdString();  // UTF-8, as the file layer expects
        if (kSystemFileDialogs && OnSystemDialogClosed)
            OnSystemDialogClosed();
        NoteModalClosed();
    }
    if (!chosen || chosen->empty())
        return false;
    // The name as the system writes it (C:\Users\... on Windows) wherever it is
    // shown: the fields and the messages take it from here. Files open either way.
    name_ = QDir::toNativeSeparators(QString::fromStdString(*chosen)).toStdString();
    if (OnChosen)
        OnChosen(name_);
    return true;
}

void QtBeeper::Beep() { QApplication::beep(); }

}  // namespace platform
