#pragma once
// The handlers' context: what the main window owns and the protocol handlers
// touch: the serial port, the timers, the file dialogs, the visible controls, the
// error dialog, the beep and the file system. The handlers of link/, receive/ and
// transmit/ take this bundle with the program state and reach nothing else.

#include "platform/files/FileSystem.h"
#include "platform/serial/SerialPort.h"
#include "platform/widgets/Toolkit.h"

struct Form1Components {
    platform::SerialPort& ComPort1;
    platform::Window& Form1;
    platform::TextArea& Memo1;
    platform::TextArea& Memo2;
    platform::Field& Edit1;
    platform::Field& Edit2;
    platform::ProgressBar& ProgressBar1;
    platform::Timer& Timer1;
    platform::Timer& Timer2;
    platform::FileDialog& SaveDialog1;
    platform::FileDialog& OpenDialog1;
    platform::ErrorDialog& Form3;
    platform::Beeper& Sound;
    platform::FileSystem& Files;
};
