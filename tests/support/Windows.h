#pragma once
// The program's three windows as main() makes them, in the build's language
// (0 Italian, 1 English). Needs a QApplication.

#include <QAction>
#include <QPlainTextEdit>
#include <optional>
#include <string>

#include "shell/Unit1.h"
#include "shell/Unit2.h"
#include "shell/Unit3.h"

struct Windows {
    TForm1 Form1;
    TForm2 Form2{Form1};
    TForm3 Form3{Form1};

    // Without ticking, the watchdog's ticks come by hand: nothing asks for a port.
    explicit Windows(int lang, bool ticking = false) : Form1(lang)
    {
        Form1.Attach(&Form2, &Form3);
        if (!ticking)
            Form1.Timer(1).stop();
    }
    ProgramState& S() { return Form1.State(); }
    QStringList Lines(int memo) const { return Form1.Memo(memo)->toPlainText().split('\n'); }
    // COMn bound to a device and chosen from Setup, as a user does after plugging it in.
    bool OpenOn(const std::string& device, int n = 1)
    {
        Form1.Port().Bind("COM" + std::to_string(n), device);
        Form1.Action(QString("COM %1").arg(n))->trigger();
        return Form1.Port().Connected();
    }
    // F7 with the save dialog answering path, as a user picks a file in it.
    void ChooseFileIn(const std::string& path)
    {
        Form1.SaveDialog().SetChooser([path] { return std::optional<std::string>(path); });
        Form1.Action("File in-F7")->trigger();
    }
};
