#include "receive/Dispatcher.h"

void ComPort1RxChar(ProgramState&, platform::Form1Components&, int) {}

void SendDeviceReply(platform::SerialPort& port, uint8_t index)
{
    static const char kReplies[5][6] = {
        "\x1B" "AB@B",  // 0: command state, header stored, after a section
        "\x1B" "BB@B",  // 1: a chunk of section text stored
        "\x1B" "BA@B",  // 2: a section ended
        "\x1B" "AK@B",
        "\x1B" "AA@B",
    };
    if (index > 4)
        return;
    port.WriteStr(std::string(kReplies[index], 5));
}
