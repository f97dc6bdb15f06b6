#pragma once
// Terminal keys: every key pressed in the main window goes to the device as the
// low byte of its virtual-key code; K.on-F5 and K.off-F6 send fixed commands.

#include <cstdint>

#include "platform/Form1Components.h"
#include "shell/ProgramState.h"

void Memo2KeyDown(ProgramState& S, platform::Form1Components& C, uint16_t key,
                  platform::KeyModifiers mods);
void KonF51Click(ProgramState& S, platform::Form1Components& C);
void KoffF61Click(ProgramState& S, platform::Form1Components& C);
