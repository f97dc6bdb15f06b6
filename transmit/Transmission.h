#pragma once
// F8 chooses the stored set to send; the transmit machine sends it when the device
// asks. The receive dispatcher hands every byte to TransmitStep after its own
// machine; on ESC "Z" it sets TxState 1, and state 1 runs on that same byte:
//
//   1 lead-in 80 80, header read and classified, header pacing started (Pacing.h)
//   2 ESC "I" answered; ESC "V" sends the text section, without its zero byte
//     (the watchdog sends that one later); then state 3, or the end
//   3 ESC "I" answered, then state 4
//   4 ESC "V" sends the 5001 block and its 0xFF; the end
//
// A section goes out in writes of at most 256 bytes. A stored file that cannot be
// read when it is due ends the transmission with the missing-file message.

#include <cstdint>
#include <string>

#include "shell/Form1Components.h"
#include "shell/Messages.h"
#include "shell/ProgramState.h"

void FileoutF81Click(ProgramState& S, Form1Components& C);

// One received byte, after the receive machine has handled it.
void TransmitStep(ProgramState& S, Form1Components& C, uint8_t b);

// A file of the set being sent is gone or unreadable: stops the header pacing,
// returns both machines to idle if a transmission is under way, and tells the user.
void AbandonTransmission(ProgramState& S, Form1Components& C, Message missing);
