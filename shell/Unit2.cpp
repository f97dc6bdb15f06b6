#include "shell/Unit2.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "platform/widgets/System.h"
#include "shell/Unit1.h"

TForm2::TForm2(TForm1& form1) : ProgramDialog(form1)
{
    setWindowTitle("USCITA PROGRAMMA");
    resize(358, 217);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setEditable(true);
    ComboBox1->addItems({"USCITA PROGRAMMA", "SHELL", "ANNULLA"});
    ComboBox1->setGeometry(80, 56, 177, 21);
    Button1 = new QPushButton("OK", this);
    Button1->setGeometry(144, 112, 73, 33);
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, [this] { form1_.Guard([this] { Button1Click(); }); });
    for (QObject* o : std::initializer_list<QObject*>{ComboBox1, ComboBox1->lineEdit(), Button1})
        o->installEventFilter(this);
    installEventFilter(this);
}

void TForm2::Show()
{
    Present();
    FormActivate();  // also where the platform does not activate it
}

void TForm2::FormActivate() { ComboBox1->setCurrentIndex(0); }

void TForm2::Button1Click()
{
    // An edited text line leaves no item selected: OK then does nothing.
    const int index = ComboBox1->currentText() == ComboBox1->itemText(ComboBox1->currentIndex())
                          ? ComboBox1->currentIndex()
                          : -1;
    if (index == 0) {
        Close();
        form1_.Exit();
    }
    if (index == 1) {
        Close();
        platform::StartCommandInterpreter();
    }
    if (index == 2)
        Close();
}

bool TForm2::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            Button1->click();
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}
