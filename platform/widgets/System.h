#pragma once
// What differs per system in the widgets room (Process_unix.cpp, Process_win.cpp):
// starting the system's command interpreter detached, in a window the user can
// see (a terminal emulator on Unix, the console's cmd.exe on Windows); which file
// dialogs the program shows; the mark that the program is running.

namespace platform {

void StartCommandInterpreter();

// Windows' own file dialogs speak the system's language and know Quick access,
// OneDrive and network places; on Unix Qt's own is the same on every desktop.
extern const bool kSystemFileDialogs;

// Marks the program as running until its process ends: the installer and the
// uninstaller refuse to replace or remove its files meanwhile. A named mutex on
// Windows (Global\name, seen from every session); nothing on Unix, where
// running programs' files can be replaced.
void MarkRunning(const char* name);

}  // namespace platform
