#pragma once
// The real main window, headless, with its real serial component on a given
// device: what a technician runs, minus the start-up prompt (the port is chosen
// through Setup > COM 1, as a user would switch ports).

#include <QAction>
#include <QApplication>
#include <exception>
#include <stdexcept>
#include <string>
#include <thread>

#include "shell/Unit1.h"
#include "shell/Unit2.h"
#include "shell/Unit3.h"

namespace bench {

struct Shell {
    TForm1 Form1{1};
    TForm2 Form2{Form1};
    TForm3 Form3{Form1};

    explicit Shell(const std::string& device)
    {
        Form1.Attach(&Form2, &Form3);
        Form1.State().PortPromptStage = 2;  // no start-up prompt and setup dialog
        Form1.Port().Bind("COM1", device);
        Form1.Action("COM 1")->trigger();
        if (!Form1.Port().Connected())
            throw std::runtime_error("serbox could not open " + device + ": " + Form1.Port().LastFailure());
    }
};

// Runs the event loop until work, on its own thread, has returned.
template <typename Work>
void RunBeside(Work work)
{
    std::exception_ptr failure;
    std::thread t([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(qApp, [] { qApp->quit(); }, Qt::QueuedConnection);
    });
    qApp->exec();
    t.join();
    if (failure)
        std::rethrow_exception(failure);
}

}  // namespace bench
