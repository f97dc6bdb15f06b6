#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QTranslator>

#include "platform/widgets/System.h"
#include "shell/ProcessEnd.h"
#include "shell/Unit1.h"
#include "shell/Unit2.h"
#include "shell/Unit3.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    platform::MarkRunning(SERBOX_RUNNING_MUTEX);
    // The installed icon and menu entry, when there are any.
    app.setWindowIcon(QIcon::fromTheme("serbox"));
    app.setDesktopFileName(SERBOX_LANGUAGE_FLAG == 1 ? "serbox" : "serbox-it");
    // The texts Qt itself shows (standard buttons, the setup dialog's OK and
    // Cancel) in Italian too: beside the program on Windows, Qt's own folder on
    // Linux. Without the file they stay English.
    QTranslator qtTexts;
    if (SERBOX_LANGUAGE_FLAG == 0 &&
        (qtTexts.load("qtbase_it", QCoreApplication::applicationDirPath() + "/translations") ||
         qtTexts.load("qtbase_it", QLibraryInfo::path(QLibraryInfo::TranslationsPath))))
        app.installTranslator(&qtTexts);
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
