#pragma once
// F7 and the reception of a device's program (receive states 2 to 11).
//
// F7 names the incoming set; the device's ESC "C" starts the reception into the
// set's aside files (link/SetCommit.h), the set under the name untouched; then come ESC "Y" and the 128 header bytes (.hdr, one
// write), ESC "U" and the text section in chunks, each chunk closed by a poll
// ESC "I" and appended to the .src file, the section ended by 0x00; and, when the
// header calls for it, the 5001 block in the same way, ended by 0xFF. The last poll
// generates the listing (receive/Listing.h) and the whole set takes its name.
//
// Any file of the set that cannot be created, opened or written marks the
// reception failed (RxFileFailed): the device still gets every reply, but the
// completion reports the error and keeps the set from becoming the outgoing one.

#include <cstdint>

#include "shell/Form1Components.h"
#include "shell/ProgramState.h"

void FileinF71Click(ProgramState& S, Form1Components& C);
// The error dialog's OK on the overwrite prompt.
void ConfirmOverwrite(ProgramState& S, Form1Components& C);

// ESC "C" in command state with a name in Edit1.
void StartReception(ProgramState& S, Form1Components& C);
// One byte in RxState 2 to 11, EscSeen still that of the previous byte.
void ReceptionStep(ProgramState& S, Form1Components& C, uint8_t b);
