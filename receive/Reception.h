#pragma once
// F7 and the reception of a device's program: the device sends ESC "C", ESC "Y",
// 128 header bytes, the text section in chunks ended by polls and a 0x00, and,
// for some device classes, the 5001 block ended by 0xFF. Every chunk is appended
// to the .src file as it arrives; nothing stays open between chunks.

#include <cstdint>

#include "platform/Form1Components.h"
#include "shell/ProgramState.h"

void FileinF71Click(ProgramState& S, platform::Form1Components& C);
// The error dialog's OK on the overwrite prompt: takes the name waiting in the save
// dialog as the incoming set, without creating or truncating any file.
void ConfirmOverwrite(ProgramState& S, platform::Form1Components& C);

// ESC "C" in command state with a name in Edit1.
void StartReception(ProgramState& S, platform::Form1Components& C);
// One byte in receive states 2 to 11.
void ReceptionStep(ProgramState& S, platform::Form1Components& C, uint8_t b);
