#include <QApplication>
#include <QMessageBox>

#include "shell/Unit1.h"
#include "shell/Unit2.h"
#include "shell/Unit3.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    try {
        TForm1 Form1(SERBOX_LANGUAGE_FLAG);
        TForm2 Form2(Form1);
        TForm3 Form3(Form1);
        Form1.Attach(&Form2, &Form3);
        Form1.show();
        app.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "serbox", e.what());
    }
    return 0;
}
