#include "platform/QtWidgets.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTimer>

namespace platform {

void QtWindow::SetTitle(const std::string& title) { w_.setWindowTitle(ToQt(title)); }
std::string QtWindow::Title() const { return FromQt(w_.windowTitle()); }

void QtTextArea::AppendLine(const std::string& line) { w_.appendPlainText(ToQt(line)); }
void QtTextArea::Clear() { w_.clear(); }
void QtTextArea::SetText(const std::string& text) { w_.setPlainText(ToQt(text)); }
std::string QtTextArea::Text() const { return FromQt(w_.toPlainText()); }
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
