#pragma once
// Whatever escapes a handler, start-up or the event loop is handed to the
// standard error report, std::exception or not. Returns 0: main() ends the
// process with it, as every ending of the program does.

#include <functional>
#include <string>

int RunAndReport(const std::function<void()>& program, const std::function<void(const std::string&)>& report);
