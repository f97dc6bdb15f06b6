#include "link/Watchdog.h"
void Timer1Timer(ProgramState&, platform::Form1Components&) {}
