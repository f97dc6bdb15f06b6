#pragma once
// ComPort1RxChar: every byte from the device passes here exactly once, first
// through the receive machine (RxState), then through the transmit machine.
//
// The receive machine keeps its numbered states (RxState):
//   0 terminal: text lines go to Memo1; ESC "A" enters command state
//   1 command: ESC "I" is answered, ESC "C" starts a reception, ESC "Z" a transmission
//   2..11 a reception (receive/Reception.h), 100 a transmission under way.
// EscSeen says the previous byte handled was ESC, across events, so an escape pair
// split between two events still counts.

#include <cstdint>

#include "platform/Form1Components.h"
#include "shell/ProgramState.h"

enum RxStates : int32_t {
    RxIdle = 0,
    RxCommand = 1,
    RxStarted = 2,
    RxHeader = 3,
    RxHeaderStored = 4,
    RxTextSection = 5,
    RxTextEnded = 6,
    RxAfterText = 7,
    RxAwaitBlock = 8,
    RxBlock = 9,
    RxBlockEnded = 10,
    RxFinalPoll = 11,
    RxTransmitting = 100,
};

void ComPort1RxChar(ProgramState& S, platform::Form1Components& C, int Count);

// The receive machine on one byte (the transmit machine is not run).
void ReceiveStep(ProgramState& S, platform::Form1Components& C, uint8_t b);

// One write of the five bytes of reply index (0 to 4).
void SendDeviceReply(platform::SerialPort& port, uint8_t index);
