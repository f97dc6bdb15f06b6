#pragma once
// The error dialog: the program's one way of telling the user something. Callers
// fill caption and text and set ErrorKind; its buttons act on ErrorKind. Modeless;
// it closes itself when it stops being the active window.

#include "platform/widgets/Toolkit.h"
#include "shell/ProgramDialog.h"

class QLabel;
class QPushButton;

class TForm3 : public ProgramDialog, public platform::ErrorDialog {
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

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void Closing() override { FormDeactivate(); }  // closing deactivates it

private:
    void FormDeactivate();
};
