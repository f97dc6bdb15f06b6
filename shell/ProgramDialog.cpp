#include "shell/ProgramDialog.h"

#include <QCloseEvent>

#include "platform/QtWidgets.h"
#include "shell/Unit1.h"

ProgramDialog::ProgramDialog(TForm1& form1) : QDialog(&form1), form1_(form1) { setModal(false); }

void ProgramDialog::Present()
{
    platform::AwaitActivationBack(&form1_);
    if (isHidden())
        wasActive_ = false;
    show();
    raise();
    activateWindow();
}

void ProgramDialog::Close()
{
    if (isHidden())
        return;
    Closing();
    hide();
    form1_.ReturnFromDialog(this);
}

void ProgramDialog::closeEvent(QCloseEvent* e)
{
    Close();
    e->accept();
}

void ProgramDialog::ActiveWindowIs(QWidget* now)
{
    if (now == this)
        wasActive_ = true;
    else if (wasActive_ && isVisible())
        Close();
}
