#pragma once
// serbox-cli's shell around the same machines as the window program's: the
// machines' components without a window, the port, the two timers, and what a
// batch does between transfers (naming, counting, waiting, comparing).

#include <string>

namespace cli {

enum class Command { Receive, Send, Verify };

struct Options {
    Command command = Command::Receive;
    std::string set;      // send, verify: the listing's name
    std::string port;
    std::string into;     // receive
    std::string journal;  // empty: the user's data folder
    int count = 1;
    int waitSeconds = -1;  // < 0: for ever
    bool quiet = false;
    bool flowNone = false;  // --flow none: hand-helds; hardware as the window program
};

// The exit statuses.
enum Status { kWhole = 0, kFailed = 1, kUsage = 2, kNoPort = 3 };

// Runs the command on the event loop of the QCoreApplication; its exit status.
int Run(const Options& options, const std::string& journalPath, const std::string& version);

}  // namespace cli
