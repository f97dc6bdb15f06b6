#pragma once
// placeholder main window
#include <QMainWindow>
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(int languageFlag);
};
