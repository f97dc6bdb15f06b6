// serbox-ctrlc TRIGGER PROGRAM [ARGS...]: starts PROGRAM in this console and, once
// the file TRIGGER holds a byte, presses Ctrl-C as the console does: the event goes
// to every process attached to the console, this one ignoring it. Exit status:
// the program's (whole on standard error); 125 when it could not be started or
// did not end.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 3)
        return 125;
    // A console of our own: started from a Unix shell without a terminal, Wine
    // hands a process a stand-in that carries no console events.
    ::FreeConsole();
    if (!::AllocConsole())
        std::fprintf(stderr, "serbox-ctrlc: AllocConsole error %lu\n", ::GetLastError());
    std::string command;
    for (int i = 2; i < argc; ++i)
        command += std::string(i > 2 ? " \"" : "\"") + argv[i] + "\"";
    STARTUPINFOA start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION child{};
    if (!::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &child))
        return std::fprintf(stderr, "serbox-ctrlc: cannot start %s\n", argv[2]), 125;
    // Set after the start: a child inherits the flag.
    ::SetConsoleCtrlHandler(nullptr, TRUE);
    for (int i = 0; i < 6000; ++i) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (::GetFileAttributesExA(argv[1], GetFileExInfoStandard, &data) && data.nFileSizeLow > 0)
            break;
        if (::WaitForSingleObject(child.hProcess, 10) == WAIT_OBJECT_0)
            break;
    }
    if (!::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0))
        std::fprintf(stderr, "serbox-ctrlc: no Ctrl-C sent (error %lu, console %p)\n", ::GetLastError(), (void*)::GetConsoleWindow());
    DWORD status = 125;
    if (::WaitForSingleObject(child.hProcess, 60000) == WAIT_OBJECT_0)
        ::GetExitCodeProcess(child.hProcess, &status);
    // Whole here: Wine hands a Unix parent only the low byte.
    std::fprintf(stderr, "serbox-ctrlc: status 0x%08lX\n", status);
    return static_cast<int>(status);
}
