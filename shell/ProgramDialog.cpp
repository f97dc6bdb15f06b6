#include "shell/ProgramDialog.h"

#include <QCloseEvent>

#include "platform/widgets/QtWidgets.h"
#include "shell/Unit1.h"

ProgramDialog::ProgramDialog(TForm1& form1) : QDialog(&form1), form1_(form1) { setModal(false); }

void ProgramDialog::Present()
{
    platform::AwaitActivationBack(&form1_);
    // Shown again (the port request, at every tick) while the user is in another
    // application: the focus stays where the user put it. Nor is an active one
    // activated again: on X the toolkit reports the focus gone only some hundred
    // milliseconds after the user took it elsewhere, and would take it back.
    if (isVisible() && (!platform::ProgramActiveWindow() || platform::ProgramActiveWindow() == this))
        return;
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
