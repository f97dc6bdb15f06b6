#include <QApplication>
#include <QIcon>
#include <QMessageBox>

#include "shell/ProcessEnd.h"
#include "shell/Unit1.h"
#include "shell/Unit2.h"
#include "shell/Unit3.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The installed icon and menu entry, when there are any.
    app.setWindowIcon(QIcon::fromTheme("serbox"));
    app.setDesktopFileName(SERBOX_LANGUAGE_FLAG == 1 ? "serbox" : "serbox-it");
    return RunAndReport(
        [&app] {
            TForm1 Form1(SERBOX_LANGUAGE_FLAG);
            TForm2 Form2(Form1);
            TForm3 Form3(Form1);
            Form1.Attach(&Form2, &Form3);
            Form1.show();
            app.exec();
        },
        [](const std::string& message) {
            QMessageBox::critical(nullptr, "serbox", QString::fromLocal8Bit(message.c_str()));
        });
}
