#pragma once
// Every message the error dialog shows, with its caption, its two texts and the
// ErrorKind the dialog's buttons act on. Plain C++: the protocol handlers report
// through ShowMessage and never build texts of their own.

#include <cstdint>

#include "platform/Form1Components.h"
#include "shell/ProgramState.h"

enum class Message {
    PortNotReady,     // ErrorKind 1
    OverwritePrompt,  // 2, shows Button2
    TxtNotFound,      // 3
    HdrNotFound,      // 3
    SrcNotFound,      // 3
    PortTimeOut,      // 4
    TxNameMissing,    // 5
    RxNameMissing,    // 6
    FileError,        // 7: a file of the incoming set could not be written
    ChoosePort,       // 10
};

struct MessageText {
    int32_t ErrorKind;
    const char* CaptionIt;
    const char* CaptionEn;
    const char* TextIt;
    const char* TextEn;
};

const MessageText& TextOf(Message m);

// Sets the dialog's caption and text in the build's language, ErrorKind, the
// visibility of Button2, and shows the dialog without waiting. Callers beep first
// where they should.
void ShowMessage(ProgramState& S, platform::Form1Components& C, Message m);
