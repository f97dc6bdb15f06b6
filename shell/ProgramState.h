#pragma once
// The program's process-wide state: every handler reads and writes these fields
// directly. The program holds exactly one instance (owned by the main window);
// tests make fresh ones. Plain C++ on purpose: link/, receive/ and transmit/ use it
// without any window toolkit.
//
// Each subsystem keeps its own fields in its own block below.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/serial/SerialPort.h"

// The receive machine's states (RxState): 0 terminal, 1 command state, 2..11 a
// reception, 100 while the transmit machine runs (receive/Dispatcher.h).
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

// The transmit machine's states (TxState; transmit/Transmission.h).
enum TxStates : int32_t {
    TxIdle = 0,
    TxStarting = 1,
    TxAwaitText = 2,
    TxAwaitInquiry = 3,
    TxAwaitBlock = 4,
};

struct ProgramState {
    // --- shared by every subsystem -------------------------------------------------
    int32_t PortNumber = 0;      // 1..4 for COM1..COM4; 0 = none selected yet
    int32_t ErrorKind = 0;       // what the error dialog shows (see shell/Messages.h)
    int32_t LanguageFlag = 0;    // 0 Italian, anything else English
    std::string RxFileName;      // listing named with F7
    std::string RxHdrPath;
    std::string RxSrcPath;
    std::string TxFileName;      // listing named with F8, or left by a reception
    std::string TxHdrPath;
    std::string TxSrcPath;
    int32_t RxState = 0;         // receive machine: 0..11, 100 while transmitting
    int32_t TxState = 0;         // transmit machine: 0..4
    int32_t EscSeen = 0;         // previous received byte was ESC
    std::vector<uint8_t> BlockBuffer;  // header block of a transfer; each transfer sizes it
    int32_t TxEmpty = 0;         // output drained since the last paced write
    int32_t HdrSendOffset = 0;   // next header byte to pace out
    int32_t PortPromptStage = 0; // 0 ask for a port, 1 show the setup dialog, 2 done
    int32_t NulPending = 0;      // text section sent without its closing zero byte

    // --- receive dispatcher ----------------------------------------------------------
    std::string RxText;          // display line (state 0) or pending section text (5, 9)
    std::string TxText;          // what the transmit machine is building
    int32_t BlockCount = 0;      // header bytes collected
    int32_t DeviceClass = 0;     // from the last header block alone; 0 when no rule matches
    int32_t HeaderDigit = 0;     // from header byte 14
    int32_t HighBitMarks = 0;    // high bytes are marked in the listing while 1
    int32_t RxFileFailed = 0;    // a file of the reception under way could not be written
    std::string RxNextFileName;  // named with F7 during a reception: the next reception's

    // --- port watchdog ---------------------------------------------------------------
    int32_t WatchdogTicks = 0;   // consecutive busy ticks
    int32_t NulArmed = 0;        // the zero byte goes out at the next tick

    // --- transmission ----------------------------------------------------------------
    uint64_t SecondSectionOffset = 0;  // file offset where the 5001 block begins
    int32_t HdrSendActive = 0;         // the header block is being paced out
    std::string TxNextFileName;        // chosen while a set was going out: the next one sent

    // --- the line ------------------------------------------------------------------------
    int32_t LineHeld = 0;              // the message line tells of bytes held by the device
    std::string LineHeldCovered;       // what the message line said before
    std::string OpenWaitShown;         // the message line tells of a port slow to open
    std::string OpenWaitCovered;       // what it said before
    platform::LineErrors LineErrorsAtStart;  // the port's counts when the transfer began
    int32_t LineErrorsShown = 0;       // the count the terminal told last
};
