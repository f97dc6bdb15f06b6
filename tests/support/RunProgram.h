#pragma once
// Runs a program with UTF-8 arguments, its output thrown away, and waits for it.
// RunProgram_unix.cpp and RunProgram_win.cpp differ in how a program is started
// and how its arguments reach it.

#include <string>
#include <vector>

// The exit status; -1 when it could not be started or did not exit by itself.
int RunProgram(const std::string& program, const std::vector<std::string>& args);
