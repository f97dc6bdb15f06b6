#pragma once
// What the receive and the transmit machine share, so that neither reaches into
// the other: the device's replies, the outgoing set, the header pacing's stop and
// the end of a transfer. The stored set's names and header rules are in
// StoredFileSet.h; link/Router.h hands each byte to both machines.

#include <cstdint>
#include <string>

#include "shell/Form1Components.h"
#include "shell/ProgramState.h"

// A reception or a transmission is under way: something of the user's is at
// stake (command state alone holds nothing).
bool TransferUnderWay(const ProgramState& S);

// One write of the five bytes of reply index (0 to 4).
void SendDeviceReply(platform::SerialPort& port, uint8_t index);

// Ends a header pacing under way, so that no later tick sends a byte of an
// abandoned transmission and the next one starts from offset 0.
void StopHeaderPacing(ProgramState& S);

// A transfer of either machine is over, whole, failed or abandoned: both machines
// idle, the header pacing stopped, the progress bar emptied and hidden.
void EndTransfer(ProgramState& S, Form1Components& C);

// A reception under way ends without its set: what it wrote aside goes, and the
// set under the name stays as it was. Nothing when no reception is under way.
void DropAbandonedReception(const ProgramState& S, Form1Components& C);

// The outgoing set's three names from its listing's name; a name chosen while a
// set was going out (TxNextFileName) is used up by this. By value: name may be
// that pending one.
void SetOutgoingNames(ProgramState& S, std::string name);

// Makes name the outgoing set and shows it in Edit2. A transmission under way,
// its header pacing included, goes on with the set it started with: the new
// one is sent from the next request on.
void TakeOutgoingSet(ProgramState& S, Form1Components& C, const std::string& name);

// A transfer begins: its line errors count from here.
void CountLineErrorsFromHere(ProgramState& S, Form1Components& C);
// The line errors since: a transfer with any may have carried a damaged set, and
// is not told done as if nothing had happened.
platform::LineErrors LineErrorsSinceStart(ProgramState& S, Form1Components& C);
