#pragma once
// Child processes and waits for the tier that runs serbox-device beside the real
// windows. Needs a QCoreApplication.

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QProcess>

#include "tests/support/Until.h"

// A child in a process group of its own, ended with its group, and with the test
// should the test be killed midway.
class Child : public QProcess {
public:
    ~Child() override
    {
        if (const pid_t group = static_cast<pid_t>(processId()); group > 0) {
            ::kill(-group, SIGTERM);
            waitForFinished(2000);
            ::kill(-group, SIGKILL);
            waitForFinished();
        }
    }
    void Start(const QStringList& argv)
    {
        setProgram(argv.value(0));
        setArguments(argv.mid(1));
        setChildProcessModifier([] {
            ::setpgid(0, 0);
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        });
        start();
        waitForStarted();
    }
};
