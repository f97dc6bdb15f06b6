#include "link/PortSelection.h"
void SelectPort(ProgramState&, platform::Form1Components&, int) {}
