#include <windows.h>
#include <io.h>

#include <QMetaObject>
#include <QObject>
#include <atomic>
#include <cstdio>

#include "cli/System.h"

namespace cli {

namespace {

std::atomic<QObject*> target{nullptr};
std::function<void()> onEnding;
std::atomic<bool> asked{false}, ended{false};

BOOL WINAPI Caught(DWORD event)
{
    QObject* context = target.load();
    if (!context)
        return FALSE;  // the command has ended: the system's own handling
    if (!asked.exchange(true))
        QMetaObject::invokeMethod(context, [] {
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
    // An event after the command's end must not reach a destroyed object.
    QObject::connect(context, &QObject::destroyed, [] {
        target = nullptr;
        ::SetConsoleCtrlHandler(Caught, FALSE);
    });
}

bool ErrorIsTerminal() { return ::_isatty(::_fileno(stderr)) != 0; }

}  // namespace cli
