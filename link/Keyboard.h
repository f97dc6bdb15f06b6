#pragma once
// Terminal keys: every key pressed in the main window goes to the device as the
// low byte of its virtual-key code; K.on-F5 and K.off-F6 send fixed commands.

#include <cstdint>

#include "platform/keys/KeyCodes.h"
#include "shell/Form1Components.h"
#include "shell/ProgramState.h"

// The menu's commands, each on the function key of its number (F4 Exit, F7 File
// in...). F1 to F3 run nothing; F9 opens the Setup menu.
enum class MenuCommand { Help = 1, Hex, Print, Exit, KeyOn, KeyOff, FileIn, FileOut, Setup };
constexpr int kMenuCommands = 9;

// F1 to F9 without Shift, Ctrl or Alt belong to the menu: the number of the
// function key (1..9, a MenuCommand), or 0 for a key that goes to the device. The
// menu's own shortcuts normally take these keys before they reach Memo2KeyDown;
// when the window system hands a key over without the window counting as active,
// the shortcut does not fire and the caller runs the command by this number instead.
int MenuKey(uint16_t key, platform::KeyModifiers mods);

// Key 0 is a key with no code of its own: it sends nothing.
void Memo2KeyDown(ProgramState& S, Form1Components& C, uint16_t key,
                  platform::KeyModifiers mods);
void KonF51Click(ProgramState& S, Form1Components& C);
void KoffF61Click(ProgramState& S, Form1Components& C);
