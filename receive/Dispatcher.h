#pragma once
// ComPort1RxChar: every byte from the device passes here exactly once, first
// through the receive machine (RxState), then through the transmit machine.

#include <cstdint>

#include "platform/Form1Components.h"
#include "shell/ProgramState.h"

void ComPort1RxChar(ProgramState& S, platform::Form1Components& C, int Count);

// One write of the five bytes of reply index (0 to 4).
void SendDeviceReply(platform::SerialPort& port, uint8_t index);
