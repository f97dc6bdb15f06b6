#pragma once
// Child processes and waits for the tiers that run whole programs: serbox-device
// beside the real windows, and a desktop's servers, commands and program.
// Needs a QCoreApplication.

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTimer>
#include <string>
#include <vector>

// Waits for a condition asleep in the event loop, woken by every event and by a
// tick for conditions no event tells of. The limit only ends a run that has
// already failed: nothing asserts on time.
template <class Condition>
bool Until(Condition done, int ms = 20000)
{
    const QDeadlineTimer end(ms);
    QTimer tick;
    tick.start(50);
    while (!done() && !end.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return done();
}

// A child in a process group of its own, ended with its group, and with the test
// should the test be killed midway. Its standard error is dropped unless merged
// or SERBOX_DESKTOP_VERBOSE is set.
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
    void Start(const QStringList& argv, const QString& dir = {})
    {
        setProgram(argv.value(0));
        setArguments(argv.mid(1));
        setWorkingDirectory(dir);
        if (processChannelMode() == SeparateChannels && !qEnvironmentVariableIsSet("SERBOX_DESKTOP_VERBOSE"))
            setStandardErrorFile(nullDevice());
        setChildProcessModifier([] {
            ::setpgid(0, 0);
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        });
        start();
        waitForStarted();
    }
    // The first line it prints: a server telling that it is ready and what it is called.
    std::string FirstLine()
    {
        Until([&] { return canReadLine() || state() == NotRunning; });
        return readLine().trimmed().toStdString();
    }
};

// Runs a command to its end: its exit status (-1 when it did not exit by itself) and what it printed.
struct Output {
    int status = -1;
    std::string out;
};
inline Output RunCommand(const std::vector<std::string>& argv)
{
    Child c;
    QStringList args;
    for (const std::string& a : argv)
        args << QString::fromStdString(a);
    c.Start(args);
    c.closeWriteChannel();
    const bool ended = c.waitForFinished(60000) && c.exitStatus() == QProcess::NormalExit;
    return {ended ? c.exitCode() : -1, c.readAllStandardOutput().toStdString()};
}
