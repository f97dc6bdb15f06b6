#pragma once
// What differs per system in the widgets room: starting the system's command
// interpreter detached, in a window the user can see: a terminal emulator on
// Unix (Process_unix.cpp), the console's cmd.exe on Windows (Process_win.cpp).

namespace platform {
void StartCommandInterpreter();
}
