#pragma once
// The exit dialog: leave the program, start a command shell, or cancel. Modeless;
// it closes itself when it stops being the active window.

#include "shell/ProgramDialog.h"

class QComboBox;
class QPushButton;

class TForm2 : public ProgramDialog {
    Q_OBJECT
public:
    explicit TForm2(TForm1& form1);
    void Show();
    QComboBox* ComboBox1;
    QPushButton* Button1;
    void Button1Click();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void FormActivate();
};
