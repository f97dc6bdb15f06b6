#pragma once
// The process's last line of defence: whatever escapes start-up or the event loop
// is handed to the standard error report, and the process still ends with exit
// code 0, as every ending of the program does.

#include <functional>
#include <string>

int RunToEnd(const std::function<void()>& program, const std::function<void(const std::string&)>& report);
