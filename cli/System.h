#pragma once
// What differs per system in serbox-cli: System_unix.cpp and System_win.cpp.

#include <cstdio>
#include <functional>
#include <string>

class QObject;

namespace cli {

// Ctrl-C, SIGTERM, a closed terminal or console: ending runs once, on context's
// thread, from its event loop; a second one ends the process at once. Where the system ends the process once its handler
// returns (a console closed on Windows), the handler waits for ending to finish.
void OnInterrupt(QObject* context, std::function<void()> ending);

// After an interrupt's clean end: ends the process as the system ends a program
// the user stopped (the signal's own default action; STATUS_CONTROL_C_EXIT on
// Windows), so that a script or batch file running it stops too. Returns only
// when no interrupt came.
void EndAsInterrupted();

// Standard error is a terminal: the live progress line goes there.
bool ErrorIsTerminal();

// UTF-8 text to standard output or error. A Windows console reads bytes in its
// own code page, so there it gets the text as characters: a folder named with
// an accent shows as typed. Redirected, the bytes are UTF-8 on every system.
void Print(std::FILE* stream, const std::string& text);

}  // namespace cli
