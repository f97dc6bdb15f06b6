#include "tools/Arguments.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <iostream>

namespace {

UINT consoleBefore = 0;

// The console's code page outlives the program; the user's window gets its own back.
void RestoreConsole()
{
    std::cout.flush();  // still in UTF-8
    ::SetConsoleOutputCP(consoleBefore);
}

std::string Utf8(const wchar_t* w)
{
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1)
        return {};
    std::string s(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w, -1, s.data(), n, nullptr, nullptr);
    s.resize(static_cast<size_t>(n - 1));
    return s;
}

}  // namespace

std::vector<std::string> Utf8Arguments(int, char**)
{
    consoleBefore = ::GetConsoleOutputCP();
    if (consoleBefore != 0 && consoleBefore != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8))
        std::atexit(RestoreConsole);
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    std::vector<std::string> args;
    for (int i = 1; argv && i < argc; ++i)
        args.push_back(Utf8(argv[i]));
    ::LocalFree(argv);
    return args;
}
