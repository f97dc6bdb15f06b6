#pragma once
// What the main window owns and the protocol handlers touch: the serial port, the
// timers, the file dialogs, the visible controls, the error dialog, the beep and the
// file system. The handlers of link/, receive/ and transmit/ take this bundle with
// the program state and reach nothing else.

#include "platform/FileSystem.h"
#include "platform/SerialPort.h"
#include "platform/Toolkit.h"

namespace platform {

struct Form1Components {
    SerialPort& ComPort1;
    Window& Form1;
    TextArea& Memo1;
    TextArea& Memo2;
    Field& Edit1;
    Field& Edit2;
    ProgressBar& ProgressBar1;
    Timer& Timer1;
    Timer& Timer2;
    FileDialog& SaveDialog1;
    FileDialog& OpenDialog1;
    ErrorDialog& Form3;
    Beeper& Sound;
    FileSystem& Files;
};

}  // namespace platform
