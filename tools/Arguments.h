#pragma once
// The command line as UTF-8, without the program's name. A narrow main() on
// Windows gets its arguments in the ANSI code page, which has no room for most
// names; Arguments_win.cpp reads the wide command line instead. The messages are
// UTF-8 too, and the Windows console is told so.

#include <string>
#include <vector>

std::vector<std::string> Utf8Arguments(int argc, char** argv);
