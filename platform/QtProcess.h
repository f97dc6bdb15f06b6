#pragma once
// Starts the platform's command interpreter detached, in a window the user can see.

namespace platform {
void StartCommandInterpreter();
}
