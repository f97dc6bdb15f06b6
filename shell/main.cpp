#include <QApplication>

#include "shell/Unit1.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TForm1 Form1(SERBOX_LANGUAGE_FLAG);
    Form1.show();
    return app.exec();
}
