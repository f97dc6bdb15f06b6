#pragma once
// What serbox-cli says of a batch: the line of each transfer (for people, or a
// JSON object for scripts), the count kept along the way and the summary at the
// end, and the line that says which device is awaited. Plain functions.

#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "link/Journal.h"

namespace cli {

// The transfers of one run as they ended.
struct Tally {
    int asked = 0;
    int whole = 0;
    int different = 0;  // verify: whole, but not the stored program
    std::vector<std::pair<int, std::string>> failed, abandoned;  // sequence number, reason

    // A transfer of ours ended with outcome; a whole one the command did not ask
    // for (a device sending during a load) counts as failed, with reason.
    void Add(int sequence, const std::string& outcome, const std::string& reason);
    int Failures() const { return static_cast<int>(failed.size() + abandoned.size()); }
};

// After each transfer of a run: how the run ends, or -1 to wait for the next
// device. folderFault: the folder took no set (every following one would fail).
int AfterTransfer(const Tally& t, bool verify, int maxFailures, bool folderFault);

// "3 asked, 2 whole, 1 failed (#2: device lost), 0 abandoned".
std::string Summary(const Tally& t);

// "1 receive /plant/S0001.txt 3129 bytes 2.4 s ok": sequence, direction, set
// ("-" when none), bytes, seconds, verdict, and the label in brackets if any.
std::string PeopleLine(int sequence, const TransferRecord& r, const std::string& verdict);

// The same transfer as one line of JSON, with its time, its device class and
// header digit (null when no header passed), and run.
std::string JsonLine(int sequence, const TransferRecord& r, std::time_t at);

// "device 3 of 10", or "the device" when one is asked for.
std::string DeviceOf(int device, int asked);
// "waiting for device 3 of 10 on COM1 (Ctrl-C to stop)".
std::string WaitingText(int device, int asked, const std::string& port);

// Text on one line: each line break becomes ": ".
std::string OneLine(std::string text);

}  // namespace cli
