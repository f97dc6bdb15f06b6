#pragma once
// What the exit and the error dialog share: modeless, each closes itself when
// another window of the program becomes the active one (never when the user
// merely looks at another application), Escape does nothing, the close box
// closes it as losing the activation does, and closing hands the activation
// back to the main window.

#include <QDialog>

class TForm1;

class ProgramDialog : public QDialog {
public:
    // The program's active window has changed (now, never null). Once the dialog
    // has been the active window, another window of the program taking over closes it.
    void ActiveWindowIs(QWidget* now);

protected:
    explicit ProgramDialog(TForm1& form1);
    // Shows it and asks for the activation; a dialog shown anew starts unactivated.
    void Present();
    void Close();
    // Runs as the dialog closes, before it hides.
    virtual void Closing() {}

    void reject() override {}
    void closeEvent(QCloseEvent* e) override;

    TForm1& form1_;

private:
    bool wasActive_ = false;  // since it was last shown
};
