#include "transmit/Transmission.h"
void FileoutF81Click(ProgramState&, platform::Form1Components&) {}
void TransmitStep(ProgramState&, platform::Form1Components&, uint8_t) {}
