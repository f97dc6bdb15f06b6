#include "platform/QtWidgets.h"

#include <QApplication>
#include <QFileDialog>
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

void QtWindow::SetTitle(const std::string& title) { w_.setWindowTitle(ToQt(title)); }
std::string QtWindow::Title() const { return FromQt(w_.windowTitle()); }

void QtTextArea::AppendLine(const std::string& line)
{
    if (batches_ == 0) {
        w_.appendPlainText(ToQt(line));
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
    w_.appendPlainText(ToQt(pending_));
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

bool QtFileDialog::Execute()
{
    std::optional<std::string> chosen;
    if (chooser_) {
        chosen = chooser_();
    } else {
        QFileDialog dialog(parent_);
        // The same dialog everywhere; *.TXT matches .txt too.
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setNameFilter("VARN TXT FILES (*.TXT *.txt)");
        if (mode_ == Mode::Save) {
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            dialog.setDefaultSuffix("TXT");
            // The program asks its own overwrite question.
            dialog.setOption(QFileDialog::DontConfirmOverwrite);
        } else {
            dialog.setFileMode(QFileDialog::ExistingFile);
        }
        if (!name_.empty())
            dialog.selectFile(QString::fromStdString(name_));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = dialog.selectedFiles().first().toStdString();  // UTF-8, as the file layer expects
    }
    if (!chosen || chosen->empty())
        return false;
    name_ = *chosen;
    return true;
}

void QtBeeper::Beep() { QApplication::beep(); }

}  // namespace platform
