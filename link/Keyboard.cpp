#include "link/Keyboard.h"

#include <string>

namespace {

void SendByte(platform::SerialPort& port, uint8_t c) { port.WriteStr(std::string(1, static_cast<char>(c))); }

}  // namespace

int MenuKey(uint16_t key, platform::KeyModifiers mods)
{
    if (mods.Shift || mods.Ctrl || mods.Alt)
        return 0;
    constexpr uint16_t kVkF1 = 0x70;
    return key >= kVkF1 && key < kVkF1 + kMenuCommands ? key - kVkF1 + 1 : 0;
}

void Memo2KeyDown(ProgramState&, Form1Components& C, uint16_t key, platform::KeyModifiers mods)
{
    if (key == 0)
        return;  // a key with no code of its own
    uint8_t c = static_cast<uint8_t>(key & 0xFF);
    if (mods.Ctrl && !mods.Shift && !mods.Alt) {
        if (c == 0x43 || c == 0x63)
            c = 0x03;
        else if (c == 0x52 || c == 0x72)
            c = 0x12;
        else if (c == 0x11)
            return;  // the Ctrl key by itself
    }
    SendByte(C.ComPort1, c);
}

void KonF51Click(ProgramState&, Form1Components& C) { C.ComPort1.WriteStr("\x07\x07\x07\x11"); }

void KoffF61Click(ProgramState&, Form1Components& C) { C.ComPort1.WriteStr("\x07\x07\x07\x12"); }
