#pragma once
// What differs per system in serbox-cli: System_unix.cpp and System_win.cpp.

#include <functional>

class QObject;

namespace cli {

// Ctrl-C, SIGTERM, a closed terminal or console: ending runs once, on context's
// thread, from its event loop. Where the system ends the process once its handler
// returns (a console closed on Windows), the handler waits for ending to finish.
void OnInterrupt(QObject* context, std::function<void()> ending);

// Standard error is a terminal: the live progress line goes there.
bool ErrorIsTerminal();

}  // namespace cli
