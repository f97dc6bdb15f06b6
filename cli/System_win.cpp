#include <windows.h>
#include <io.h>

#include <QMetaObject>
#include <QObject>
#include <atomic>
#include <cstdio>

#include "cli/System.h"

namespace cli {

namespace {

QObject* target = nullptr;
std::function<void()> onEnding;
std::atomic<bool> asked{false}, ended{false};

BOOL WINAPI Caught(DWORD event)
{
    if (!asked.exchange(true))
        QMetaObject::invokeMethod(target, [] {
            onEnding();
            ended = true;
        }, Qt::QueuedConnection);
    // A closed console ends the process as soon as this returns: the set aside
    // is removed and the journal written first (the system allows some seconds).
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        for (int i = 0; i < 400 && !ended; ++i)
            ::Sleep(10);
    return TRUE;
}

}  // namespace

void OnInterrupt(QObject* context, std::function<void()> ending)
{
    target = context;
    onEnding = std::move(ending);
    ::SetConsoleCtrlHandler(Caught, TRUE);
}

bool ErrorIsTerminal() { return ::_isatty(::_fileno(stderr)) != 0; }

}  // namespace cli
