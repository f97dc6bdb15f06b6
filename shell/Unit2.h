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
    // Another window of the program has become the active one.
    void Deactivated() { FormDeactivate(); }

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
};
