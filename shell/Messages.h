#pragma once
// Every text the handlers show: the error dialog's messages, with their caption,
// their two texts and the ErrorKind the dialog's buttons act on; the message
// line's transfer texts; the main window's title. Plain C++: the protocol
// handlers show texts only through these and never build texts of their own.

#include <cstdint>
#include <string>

#include "shell/Form1Components.h"
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

// Why a stored set cannot be sent whole: which file, and what is wrong with it.
enum class SetFault { None, Unreadable, NeverReceived, HeaderSize, NoTextEnd, NoBlockEnd, Interrupted };
struct SetCheck {
    SetFault Fault = SetFault::None;
    std::string Path;        // the file at fault
    size_t HeaderBytes = 0;  // what the .hdr holds, for HeaderSize
};
// The reason in a line, in the build's language (LanguageFlag 0: Italian).
std::string SetFaultReason(const SetCheck& check, int32_t languageFlag);
// F8, or a transmission about to start, refuses a set that is not whole.
void ShowSetFault(ProgramState& S, Form1Components& C, const SetCheck& check);

// A file of the set named with F7 cannot be created or written: the folder is
// missing or read-only. Told while the name is chosen, before the device sends.
void ShowCannotWrite(ProgramState& S, Form1Components& C, const std::string& path);
// A whole set received could not be stored or take its name: why names the file
// and gives the system's reason. The set under the name is the one from before.
void ShowNotStored(ProgramState& S, Form1Components& C, const std::string& why);

// Sets the dialog's caption and text in the build's language, ErrorKind, the
// visibility of Button2, and shows the dialog without waiting. Callers beep first
// where they should.
void ShowMessage(ProgramState& S, Form1Components& C, Message m);

// The message line's transfer texts: the same words in both builds.
enum class Line {
    Receiving,     // "RICEZIONE IN CORSO"
    Transmitting,  // "TRASMISSIONE IN CORSO  "
    Done,          // "OPERAZIONE ESEGUITA"
    Interrupted,   // "TRASFERIMENTO INTERROTTO"
    WriteError,    // the file-error message's Italian text
};
void ShowLine(Form1Components& C, Line line);
const char* LineText(Line line);

// The journal of transfers cannot be written (told once, the transfers go on);
// and the reason it gives a transfer ended by closing the program.
std::string JournalUnwritable(const std::string& path, int32_t languageFlag);
std::string ClosedMidTransfer(int32_t languageFlag);

// The message line while written bytes wait on the device's go-ahead (CTS), in the
// build's language: what the technician checks.
std::string LineHeldText(int32_t languageFlag);

// The message line while the port is slow to open, in the build's language, with
// the port's own words on what it waits for.
std::string OpenWaitText(const std::string& what, int32_t languageFlag);

// Line errors (framing, parity, overrun, break) told on the message line, in the
// build's language: in the terminal, at the end of a reception (its set may be
// damaged and is not offered for sending) or of a transmission.
enum class LineErrorsAt { Terminal, Reception, Transmission };
std::string LineErrorsText(LineErrorsAt where, const platform::LineErrors& seen, int32_t languageFlag);

// The main window's title names the port in two spellings, both the program's
// own: spaced ("KORVEL SU COM 1": the activation, a Setup menu choice, a lost
// port) and joined ("KORVEL SU COM1": the start-up choice, and the old port
// back after a menu choice failed).
std::string TitleSpaced(int port);
std::string TitleJoined(int port);
