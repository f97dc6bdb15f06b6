#pragma once
// The error dialog: the program's one way of telling the user something. Callers
// fill caption and text and set ErrorKind; its buttons act on ErrorKind. Modeless;
// it closes itself when it stops being the active window.

#include <QDialog>

#include "platform/Toolkit.h"

class QLabel;
class QPushButton;
class TForm1;

class TForm3 : public QDialog, public platform::ErrorDialog {
    Q_OBJECT
public:
    explicit TForm3(TForm1& form1);
    void SetCaption(const std::string& caption) override;
    void SetText(const std::string& text) override;
    void SetButton2Visible(bool visible) override;
    void Show() override;

    QLabel* Label1;
    QPushButton* Button1;
    QPushButton* Button2;
    void Button1Click();
    void Button2Click();
    // The program's active window has changed (now, never null). Once the dialog
    // has been the active window, another window of the program taking over closes it.
    void ActiveWindowIs(QWidget* now);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    // Escape does nothing; the close box closes it as losing the activation does.
    void reject() override {}
    void closeEvent(QCloseEvent* e) override;

private:
    void FormDeactivate();
    void Close();
    TForm1& form1_;
    bool wasActive_ = false;  // since it was last shown
};
