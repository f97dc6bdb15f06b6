#include "receive/Reception.h"
void FileinF71Click(ProgramState&, platform::Form1Components&) {}
void ConfirmOverwrite(ProgramState&, platform::Form1Components&) {}
