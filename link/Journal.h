#pragma once
// The journal of transfers both programs keep: one CSV line per transfer, ended
// or abandoned, appended whole and synced (FileSystem::AppendWhole) so that two
// programs writing at once never mix their lines. Columns are only ever added at
// the end: spreadsheets made from older journals keep theirs. TransferWatch reads the machines from
// outside, as a shell sees them after each event: neither machine knows of it.

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>

#include "platform/files/FileSystem.h"
#include "shell/ProgramState.h"

struct TransferRecord {
    std::string Port, Device;  // the port's name and the device it stood for
    std::string Direction;     // "receive" or "send"
    std::string SetPath;       // the set's listing name
    int32_t DeviceClass = -1;  // -1: no header came or went
    int32_t HeaderDigit = -1;
    uint64_t Bytes = 0;        // what the set's .hdr and .src hold at the end
    double Seconds = 0;
    std::string Outcome;       // "ok", "failed" or "abandoned"
    std::string Reason;        // empty when ok
    std::string Label;         // the user's name for the unit (serbox-cli --label)
    std::string Run;           // the run of the program that wrote the line
};

class TransferWatch {
public:
    explicit TransferWatch(platform::FileSystem& files) : files_(files) {}

    // A message the program has just shown: a transfer that ends now ends for it.
    void Told(const std::string& text);
    // After every event the shell has handed to the machines: a transfer just
    // ended is returned. The message line, as it stands, is read only then.
    std::optional<TransferRecord> After(const ProgramState& S, const std::function<std::string()>& messageLine,
                                        double now);
    // The program ends, or gives up the line, in the middle of a transfer.
    std::optional<TransferRecord> Abandoned(const ProgramState& S, const std::string& reason, double now);

    bool UnderWay() const { return current_.has_value(); }
    // The transfer under way (direction, set, start).
    const TransferRecord* Current() const { return current_ ? &*current_ : nullptr; }
    double Started() const { return started_; }

private:
    TransferRecord Finish(const ProgramState& S, double now);

    platform::FileSystem& files_;
    std::optional<TransferRecord> current_;
    std::string hdr_, src_;
    double started_ = 0;
    bool headerPassed_ = false;
    std::string told_;
};

// The first line of every journal.
extern const char* const kJournalHeader;

// 2026-12-08T21:19:27+01:00: the local time with its offset from UTC.
std::string LocalTimestamp(std::time_t t);
// One line, LF ended as the header line is, of a journal written by program at version.
std::string JournalLine(const std::string& when, const std::string& program, const std::string& version,
                        const TransferRecord& r);

class Journal {
public:
    // warn is told, once, in the build's language, that the journal cannot be
    // written; the transfers go on.
    Journal(platform::FileSystem& files, std::string path, std::string program, std::string version,
            int32_t languageFlag, std::function<void(const std::string&)> warn)
        : files_(files), path_(std::move(path)), program_(std::move(program)), version_(std::move(version)),
          languageFlag_(languageFlag), warn_(std::move(warn)), run_(NewRunId()) {}
    // The line of r, with this run's identifier, stamped at.
    void Write(const TransferRecord& r, std::time_t at);
    void Write(const TransferRecord& r) { Write(r, std::time(nullptr)); }
    // The journal is there (made with its header line if new) and takes lines.
    bool Ready();
    const std::string& Path() const { return path_; }
    // Tells this run's lines from another's, of this program or of one running at once.
    const std::string& Run() const { return run_; }

private:
    static std::string NewRunId();

    platform::FileSystem& files_;
    std::string path_, program_, version_;
    int32_t languageFlag_;
    std::function<void(const std::string&)> warn_;
    std::string run_;
    bool warned_ = false;
};
