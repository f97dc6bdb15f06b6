#include "link/Router.h"

#include <string>

#include "receive/Dispatcher.h"
#include "transmit/Transmission.h"

void ComPort1RxChar(ProgramState& S, Form1Components& C, int Count)
{
    std::string one;
    for (int i = 0; i < Count; ++i) {
        one.clear();
        // A read that comes back empty counts as a 0x00 byte.
        C.ComPort1.ReadStr(one, 1);
        const uint8_t b = one.empty() ? 0 : static_cast<uint8_t>(one[0]);
        ReceiveStep(S, C, b);
        TransmitStep(S, C, b);
    }
}

