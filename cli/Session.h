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
    std::string label;    // the user's name for the unit, in every line
    int count = 1;
    int waitSeconds = -1;  // < 0: for ever
    int maxFailures = 0;   // 0: no bound
    bool quiet = false;
    bool json = false;     // --format json
    bool flowNone = false;  // --flow none: hand-helds; hardware as the window program
};

// The exit statuses (--help lists them). Interrupted, the command ends by the
// signal itself once it has abandoned the transfer (EndAsInterrupted).
enum Status {
    kWhole = 0,        // the transfers asked for are whole (verify: identical)
    kFailed = 1,       // the run ended on failures: the port lost, --max-failures, a folder that takes no set
    kUsage = 2,        // wrong arguments, a set, folder or journal that cannot be used
    kNoPort = 3,       // the port could not be opened
    kNoDevice = 4,     // the wait ran out with fewer transfers whole than asked
    kDifferent = 5,    // verify: the device runs another program
    kInterrupted = 130,
};

// The most --wait takes: its milliseconds fit a timer's int.
constexpr int kMostWaitSeconds = 2000000;

// Runs the command on the event loop of the QCoreApplication; its exit status.
int Run(const Options& options, const std::string& journalPath, const std::string& version);

}  // namespace cli
