// Not built on Debian, which has no Qt 6 for Windows; written from the QProcess
// and CreateProcess documentation. A GUI program has no console, and a detached
// start would give the interpreter none either (CREATE_NO_WINDOW): it is asked
// for a console window of its own, as the documentation's modifier example does.
#include "platform/widgets/System.h"

#include <QProcess>
#include <qt_windows.h>

#include <string>

namespace platform {

void StartCommandInterpreter()
{
    QProcess p;
    // COMSPEC names the interpreter Windows itself would start.
    p.setProgram(qEnvironmentVariable("COMSPEC", "cmd.exe"));
    p.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* args) {
        args->flags = (args->flags & ~static_cast<DWORD>(CREATE_NO_WINDOW | DETACHED_PROCESS)) | CREATE_NEW_CONSOLE;
        args->startupInfo->dwFlags &= ~static_cast<DWORD>(STARTF_USESTDHANDLES);
    });
    p.startDetached();  // a failure shows nothing
}

const bool kSystemFileDialogs = true;

void MarkRunning(const char* name)
{
    // Held until the process ends, which closes the handle. A copy already
    // running, or one of another user whose mutex this user cannot open, leaves
    // the mark as it is: the installer sees it either way.
    const std::string full = std::string("Global\\") + name;
    ::CreateMutexA(nullptr, FALSE, full.c_str());
}

}  // namespace platform
