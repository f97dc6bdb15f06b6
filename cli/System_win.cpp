#include <windows.h>
#include <io.h>

#include <QMetaObject>
#include <QObject>
#include <algorithm>
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
    const bool closing = event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
    if (asked.exchange(true)) {
        // Ctrl-C again: the user does not want to wait for the clean end.
        return closing ? TRUE : FALSE;
    }
    QMetaObject::invokeMethod(context, [] {
        onEnding();
        ended = true;
    }, Qt::QueuedConnection);
    // A closed console ends the process as soon as this returns: the set aside
    // is removed and the journal written first (the system allows some seconds).
    if (closing)
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

// As the default handler ends a program on Ctrl-C: cmd.exe then asks whether
// to terminate the batch job.
void EndAsInterrupted()
{
    if (asked)
        ::ExitProcess(STATUS_CONTROL_C_EXIT);
}

bool ErrorIsTerminal() { return ::_isatty(::_fileno(stderr)) != 0; }

void Print(std::FILE* stream, const std::string& text)
{
    std::fflush(stream);
    const HANDLE h = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
    DWORD mode = 0;
    if (h == INVALID_HANDLE_VALUE || !::GetConsoleMode(h, &mode)) {
        std::fputs(text.c_str(), stream);
        std::fflush(stream);
        return;
    }
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(std::max(size, 0)), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), size);
    DWORD written = 0;
    ::WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

}  // namespace cli
