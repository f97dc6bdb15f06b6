#include "shell/Unit3.h"

#include <algorithm>

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include "platform/widgets/QtWidgets.h"
#include "receive/Reception.h"
#include "shell/Unit1.h"

TForm3::TForm3(TForm1& form1) : ProgramDialog(form1)
{
    setWindowTitle("ERRORE");
    resize(394, 227);
    Label1 = new QLabel("Label1", this);
    Label1->setGeometry(64, 32, 320, 16);
    QFont f = Label1->font();
    f.setPointSize(10);
    Label1->setFont(f);
    Button1 = new QPushButton("OK", this);
    Button1->setGeometry(152, 88, 73, 33);
    Button1->setFont(f);
    Button2 = new QPushButton("ANNULLA", this);
    Button2->setGeometry(152, 128, 73, 33);
    Button2->hide();
    // Enter is answered by FormKeyDown alone, never by a default button.
    for (QPushButton* b : {Button1, Button2}) {
        b->setAutoDefault(false);
        b->setDefault(false);
        b->installEventFilter(this);
    }
    installEventFilter(this);
    connect(Button1, &QPushButton::clicked, this, [this] { form1_.Guard([this] { Button1Click(); }); });
    connect(Button2, &QPushButton::clicked, this, [this] { form1_.Guard([this] { Button2Click(); }); });
}

void TForm3::SetCaption(const std::string& caption) { setWindowTitle(platform::ToQt(caption)); }
void TForm3::SetText(const std::string& text)
{
    Label1->setText(platform::ToQt(text));
    Label1->adjustSize();
    // A message that names a file (a long path) or gives a reason is wider than
    // the dialog was made for: it grows rather than cut the text off; the buttons
    // stay below the text.
    const int wide = std::max(394, Label1->x() + Label1->width() + 24);
    const int below = std::max(88, Label1->y() + Label1->height() + 16);
    const int left = wide == 394 ? 152 : (wide - Button1->width()) / 2;
    Button1->move(left, below);
    Button2->move(left, below + 40);
    resize(wide, std::max(227, below + 99));
}
void TForm3::SetButton2Visible(bool visible) { Button2->setVisible(visible); }

void TForm3::Show() { Present(); }

void TForm3::FormDeactivate()
{
    ProgramState& S = form1_.State();
    if (S.ErrorKind == 2)
        Button2->hide();
    if (S.ErrorKind == 10)
        S.PortPromptStage = 1;
}

void TForm3::Button1Click()
{
    ProgramState& S = form1_.State();
    if (S.ErrorKind == 10)
        S.PortPromptStage = 1;
    if (S.ErrorKind == 2)
        ConfirmOverwrite(S, form1_.Components());
    Close();
}

void TForm3::Button2Click()
{
    ProgramState& S = form1_.State();
    if (S.ErrorKind == 10)
        S.PortPromptStage = 1;
    Close();
}

bool TForm3::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            if (form1_.State().ErrorKind != 2)
                Button1->click();
            return true;  // on the overwrite prompt Enter does nothing
        }
    }
    return QDialog::eventFilter(watched, e);
}
