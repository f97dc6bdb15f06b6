#pragma once
// The exit dialog: leave the program, start a command shell, or cancel. Modeless;
// it closes itself when it stops being the active window.

#include <QDialog>

class QComboBox;
class QPushButton;
class TForm1;

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(TForm1& form1);
    void Show();
    QComboBox* ComboBox1;
    QPushButton* Button1;
    void Button1Click();
    // The program's active window has changed (now, never null). Once the dialog
    // has been the active window, another window of the program taking over closes it.
    void ActiveWindowIs(QWidget* now);

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    // Escape does nothing; the close box closes it as losing the activation does.
    void reject() override {}
    void closeEvent(QCloseEvent* e) override;

private:
    void FormActivate();
    void FormDeactivate();
    void Close();
    TForm1& form1_;
    bool wasActive_ = false;  // since it was last shown
};
