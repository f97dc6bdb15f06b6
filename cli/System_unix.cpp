#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QObject>
#include <QSocketNotifier>

#include "cli/System.h"

namespace cli {

namespace {

int wake[2] = {-1, -1};
volatile sig_atomic_t caught = 0;

void EndBy(int signal)
{
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signal);
}

// Only a write is safe in a signal handler: the event loop reads it. The user
// who presses Ctrl-C again does not want to wait for the clean end.
void Caught(int signal)
{
    if (caught)
        return EndBy(signal);
    caught = signal;
    [[maybe_unused]] const ssize_t n = ::write(wake[1], "x", 1);
}

}  // namespace

void OnInterrupt(QObject* context, std::function<void()> ending)
{
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(wake[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [notifier, ending] {
        notifier->setEnabled(false);
        ending();
    });
    struct sigaction action = {};
    action.sa_handler = Caught;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(s, &action, nullptr);
}

void EndAsInterrupted()
{
    if (caught)
        EndBy(caught);
}

bool ErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

void Print(std::FILE* stream, const std::string& text)
{
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
}

}  // namespace cli
