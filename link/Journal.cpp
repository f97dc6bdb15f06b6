#include "link/Journal.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "shell/Messages.h"

const char* const kJournalHeader =
    "time,program,version,port,device,direction,set,device class,header digit,bytes,seconds,outcome,reason,label,run\n";

namespace {

bool Receiving(const ProgramState& S) { return S.RxState >= RxStarted && S.RxState <= RxFinalPoll; }
bool Sending(const ProgramState& S) { return S.TxState != TxIdle; }

uint64_t SizeOf(platform::FileSystem& files, const std::string& path)
{
    auto f = files.OpenRead(path);
    if (!f)
        return 0;
    uint64_t size = 0;
    std::vector<char> block(64 * 1024);
    while (const size_t got = f->Read(block.data(), block.size()))
        size += got;
    return size;
}

// A field as CSV has it: quoted when it holds a comma, a quote or a line break.
std::string Field(const std::string& s)
{
    if (s.find_first_of(",\"\r\n") == std::string::npos)
        return s;
    std::string q = "\"";
    for (char c : s) {
        if (c == '"')
            q += '"';
        q += c == '\r' || c == '\n' ? ' ' : c;
    }
    return q + '"';
}

}  // namespace

void TransferWatch::Told(const std::string& text)
{
    if (current_)
        told_ = text;
}

std::optional<TransferRecord> TransferWatch::After(const ProgramState& S,
                                                   const std::function<std::string()>& readLine, double now)
{
    const bool receiving = Receiving(S), sending = Sending(S);
    if (!current_ && (receiving || sending)) {
        current_ = TransferRecord{};
        current_->Direction = receiving ? "receive" : "send";
        current_->SetPath = receiving ? S.RxFileName : S.TxFileName;
        hdr_ = receiving ? S.RxHdrPath : S.TxHdrPath;
        src_ = receiving ? S.RxSrcPath : S.TxSrcPath;
        started_ = now;
        headerPassed_ = false;
        told_.clear();
    }
    if (!current_)
        return std::nullopt;
    if ((receiving && S.RxState >= RxHeaderStored) || (sending && S.TxState >= TxAwaitText))
        headerPassed_ = true;
    if (receiving || sending)
        return std::nullopt;
    const std::string messageLine = readLine();
    if (messageLine == LineText(Line::Done)) {
        headerPassed_ = true;
        current_->Outcome = "ok";
    } else if (messageLine == LineText(Line::Interrupted)) {
        current_->Outcome = "abandoned";
        current_->Reason = told_.empty() ? messageLine : told_;
    } else {
        current_->Outcome = "failed";
        current_->Reason = told_.empty() ? messageLine : told_;
    }
    return Finish(S, now);
}

std::optional<TransferRecord> TransferWatch::Abandoned(const ProgramState& S, const std::string& reason, double now)
{
    if (!current_)
        return std::nullopt;
    current_->Outcome = "abandoned";
    current_->Reason = reason;
    return Finish(S, now);
}

TransferRecord TransferWatch::Finish(const ProgramState& S, double now)
{
    TransferRecord r = std::move(*current_);
    current_.reset();
    if (headerPassed_) {
        r.DeviceClass = S.DeviceClass;
        r.HeaderDigit = S.HeaderDigit;
    }
    // A reception that did not end whole stored nothing: the files under its name
    // are the set from before, not what came.
    const bool stored = r.Direction != "receive" || r.Outcome == "ok";
    r.Bytes = stored ? SizeOf(files_, hdr_) + SizeOf(files_, src_) : 0;
    r.Seconds = now - started_;
    return r;
}

std::string LocalTimestamp(std::time_t t)
{
    std::tm local = *std::localtime(&t);
    const std::tm utc = *std::gmtime(&t);
    // The offset from the two broken-down times: strftime's %z is a zone's name
    // on some systems.
    int days = local.tm_yday - utc.tm_yday;
    if (local.tm_year != utc.tm_year)
        days = local.tm_year > utc.tm_year ? 1 : -1;
    const int minutes = days * 1440 + (local.tm_hour - utc.tm_hour) * 60 + (local.tm_min - utc.tm_min);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, minutes < 0 ? '-' : '+',
                  std::abs(minutes) / 60, std::abs(minutes) % 60);
    return text;
}

std::string JournalLine(const std::string& when, const std::string& program, const std::string& version,
                        const TransferRecord& r)
{
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", r.Seconds);
    const auto number = [](int32_t n) { return n < 0 ? std::string() : std::to_string(n); };
    std::string line;
    for (const std::string& f : {when, program, version, r.Port, r.Device, r.Direction, r.SetPath,
                                 number(r.DeviceClass), number(r.HeaderDigit), std::to_string(r.Bytes),
                                 std::string(seconds), r.Outcome, r.Reason, r.Label, r.Run})
        line += Field(f) + ',';
    line.back() = '\n';
    return line;
}

std::string Journal::NewRunId()
{
    std::random_device seed;
    char id[16];
    std::snprintf(id, sizeof id, "%08x", static_cast<unsigned>(seed()));
    return id;
}

bool Journal::Ready() { return files_.AppendWhole(path_, kJournalHeader, std::string()); }

void Journal::Write(const TransferRecord& r, std::time_t at)
{
    TransferRecord stamped = r;
    stamped.Run = run_;
    const std::string line = JournalLine(LocalTimestamp(at), program_, version_, stamped);
    if (files_.AppendWhole(path_, kJournalHeader, line) || warned_)
        return;
    warned_ = true;
    if (warn_)
        warn_(JournalUnwritable(path_, languageFlag_));
}
