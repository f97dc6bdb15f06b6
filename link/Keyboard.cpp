#include "link/Keyboard.h"
void Memo2KeyDown(ProgramState&, platform::Form1Components&, uint16_t, platform::KeyModifiers) {}
void KonF51Click(ProgramState&, platform::Form1Components&) {}
void KoffF61Click(ProgramState&, platform::Form1Components&) {}
