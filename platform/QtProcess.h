#pragma once
// Starts the platform's command interpreter detached, in a window the user can see:
// a terminal emulator on Unix (QtProcess_unix.cpp), the console's cmd.exe on
// Windows (QtProcess_win.cpp).

namespace platform {
void StartCommandInterpreter();
}
