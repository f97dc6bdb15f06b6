#pragma once
// Runs a program with UTF-8 arguments and waits for it. The exit status; -1 when it
// could not be started or did not exit by itself.

#include <string>
#include <vector>

#ifdef _WIN32
#include <process.h>

#include "platform/files/StdFileSystem.h"
#else
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;
#endif

inline int RunProgram(const std::string& program, const std::vector<std::string>& args)
{
#ifdef _WIN32
    // UTF-16, each word quoted: the tests' names hold no quote and end in no backslash.
    std::vector<std::wstring> words{L'"' + platform::PathFromUtf8(program).wstring() + L'"'};
    for (const std::string& a : args)
        words.push_back(L'"' + platform::PathFromUtf8(a).wstring() + L'"');
    std::vector<const wchar_t*> argv;
    for (const std::wstring& w : words)
        argv.push_back(w.c_str());
    argv.push_back(nullptr);
    return static_cast<int>(::_wspawnv(_P_WAIT, platform::PathFromUtf8(program).c_str(), argv.data()));
#else
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    int status = 0;
    if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0 ||
        ::waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}
