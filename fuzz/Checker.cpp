#include "fuzz/Checker.h"

#include <cstdio>
#include <utility>

#include "fuzz/Ops.h"
#include "link/Router.h"
#include "link/SetCommit.h"
#include "link/StoredFileSet.h"
#include "link/Watchdog.h"
#include "receive/Dispatcher.h"
#include "transmit/Pacing.h"

namespace fuzzrig {

namespace {

[[noreturn]] void Broken(const char* what, int line)
{
    std::fprintf(stderr, "fuzz: invariant broken at Checker.cpp:%d: %s\n", line, what);
    __builtin_trap();
}

#define MUST(cond, what) ((cond) ? void() : Broken(what, __LINE__))

using Writes = std::vector<std::string>;

const std::string kDone = "OPERAZIONE ESEGUITA";

// The replies by index, spelt out again rather than taken from the dispatcher.
Writes Reply(int index)
{
    static const char* const kReplies[] = {"\x1B\x41\x42\x40\x42", "\x1B\x42\x42\x40\x42",
                                           "\x1B\x42\x41\x40\x42"};
    return {std::string(kReplies[index], 5)};
}

// The reply a poll gets in each reception state 0..11; -1 for none.
int ReplyInState(int32_t rx)
{
    static const int kReplyIn[] = {-1, 0, -1, -1, 0, 1, 2, 0, -1, 1, 2, 0};
    return rx >= 0 && rx <= 11 ? kReplyIn[rx] : -1;
}

bool Bit(int32_t v) { return v == 0 || v == 1; }

// Whether a 5001 block follows this header (what a .hdr file holds, at most 128
// bytes), judged as a program just started judges it: the class of an earlier
// header must never decide.
bool BlockFollows(std::string header)
{
    header.resize(132, '\0');
    ProgramState fresh;
    ClassifyHeader(fresh, reinterpret_cast<const uint8_t*>(header.data()));
    return SecondSectionFollows(fresh);
}

}  // namespace

Rig::Rig()
{
    S.LanguageFlag = 1;
    S.PortPromptStage = 2;  // the port is chosen and open
    S.PortNumber = 1;
    S.BlockBuffer.assign(132, 0);
    Port.Name = "COM1";
    Port.Opened = true;
    F.Timer1.SetEnabled(true);
    F.Timer2.SetInterval(100);
    // A stored set with a 5001 block, and bytes after its 0xFF that are never sent.
    F.Files.Files["p.TXT"] = "NUM 1001 X\r\n";
    F.Files.Files["p.hdr"] = fuzzops::Header('t', '1');
    F.Files.Files["p.src"] = std::string("FIRST\x01SECOND\x02\xC1\x80", 15) + '\0' + fuzzops::Block() + "TAIL";
    // Another stored set, without a block, so that a device given bytes of both
    // sets is caught (the capital P is another file where names keep their case).
    F.Files.Files["P.TXT"] = "NUM 1001 Y\r\n";
    F.Files.Files["P.hdr"] = fuzzops::Header('q', '7');
    F.Files.Files["P.src"] = std::string("OTHER\x01PROGRAM", 13) + '\0' + "REST";
}

Checker::Checker(Rig& rig) : r_(rig)
{
    r_.Port.BeforeRead = [this] {
        if (inByte_)
            EndByte();
        pre_ = Snap();
    };
    r_.Port.AfterRead = [this](uint8_t b) { BeginByte(b); };
}

Checker::Pre Checker::Snap() const
{
    const ProgramState& S = r_.S;
    return {S.RxState,  S.TxState, S.EscSeen,       S.NulPending, S.NulArmed,
            S.WatchdogTicks, S.HdrSendActive, S.TxEmpty, S.HdrSendOffset,
            S.SecondSectionOffset, !r_.F.Edit1.text.empty(), !r_.F.Edit2.text.empty()};
}

const std::string* Checker::Content(const std::string& path) const
{
    auto it = r_.F.Files.Files.find(path);
    return it == r_.F.Files.Files.end() ? nullptr : &it->second;
}

bool Checker::FailedAny() const
{
    const std::set<std::string>& failed = r_.F.Files.Failed;
    for (const std::string* path : {&rec_.list, &rec_.hdr, &rec_.src})
        if (failed.count(*path) || failed.count(AsidePath(*path)))
            return true;
    return false;
}

bool Checker::Readable(const std::string& path) const
{
    return Content(path) && !r_.F.Files.FailOpen.count(path);
}

// A .hdr of 128 bytes, a text section closed by 0x00 and, where the header calls
// for it, a 5001 block closed by 0xFF: the only sets that may go out.
bool Checker::Whole(const std::string& hdr, const std::string& src) const
{
    if (!Readable(hdr) || !Readable(src) || Content(hdr)->size() != 128)
        return false;
    const std::string& data = *Content(src);
    const size_t end = data.find('\0');
    return end != std::string::npos &&
           (!BlockFollows(*Content(hdr)) || data.find('\xFF', end + 1) != std::string::npos);
}

// Every operation leaves no write unjudged, so each starts with none.
void Checker::Receive(const std::string& bytes, int extra)
{
    r_.Port.Input.insert(r_.Port.Input.end(), bytes.begin(), bytes.end());
    ComPort1RxChar(r_.S, r_.C, static_cast<int>(bytes.size()) + extra);
    if (inByte_)
        EndByte();
    MUST(r_.Port.Input.empty(), "received bytes left unread");
    MUST(r_.Port.Writes.empty(), "a write outside the handling of a byte");
}

void Checker::BeginByte(uint8_t b)
{
    inByte_ = true;
    byte_ = b;
    if (pre_.rx == 1 && pre_.esc == 1 && b == 'C' && pre_.edit1)
        r_.F.Files.Failed.clear();  // a reception starts on this byte
}

void Checker::EndByte()
{
    inByte_ = false;
    const Writes w = std::exchange(r_.Port.Writes, {});
    if (pre_.tx == 0)
        CheckReceiveByte(pre_, byte_, w);
    else
        CheckTransmitByte(pre_, byte_, w);
    FollowReception(pre_, byte_, w);
    CheckState();
}

void Checker::CheckReceiveByte(const Pre& p, uint8_t b, const Writes& w)
{
    const ProgramState& S = r_.S;
    const bool pair = p.esc == 1 && p.rx != 3;
    if (pair && b == 'I' && ReplyInState(p.rx) >= 0) {
        MUST(w == Reply(ReplyInState(p.rx)), "a poll not answered by its one reply");
        return;
    }
    if (pair && b == 'Z' && p.rx == 1 && p.edit2) {
        if (w.empty()) {
            MUST(S.TxState == 0 && S.RxState == 0 && S.ErrorKind == 3, "a transmission that could not start was not told");
            MUST(!Whole(S.TxHdrPath, S.TxSrcPath), "a whole set refused");
        } else {
            MUST(Whole(S.TxHdrPath, S.TxSrcPath), "a set that is not whole went out");
            MUST(w == Writes{std::string("\x80\x80", 2)}, "lead-in not 80 80 in one write");
            MUST(S.TxState == 2 && S.HdrSendActive == 1 && S.HdrSendOffset == 0 && S.TxEmpty == 0 && r_.F.Timer2.enabled,
                 "transmission start left the machines wrong");
            // The set chosen last, now or while an older one was going out.
            MUST(r_.F.Edit2.text == S.TxFileName && S.TxNextFileName.empty(),
                 "a transmission started with another set than the one shown");
            tx_ = Transmission{S.TxHdrPath, S.TxSrcPath, BlockFollows(Content(S.TxHdrPath)->substr(0, 128))};
        }
        return;
    }
    MUST(w.empty(), "the receive machine sent something unasked");
    if (pair && b == 'Z' && p.rx == 1)
        MUST(S.RxState == 1 && S.ErrorKind == 5, "a request with no outgoing name not refused");
    if (pair && b == 'C' && p.rx == 1 && !p.edit1)
        MUST(S.RxState == 0 && S.ErrorKind == 6, "a reception with no incoming name not refused");
}

void Checker::CheckSection(const Pre& p, uint64_t offset, uint8_t term, const Writes& w)
{
    const ProgramState& S = r_.S;
    if (!Readable(tx_.src)) {
        MUST(w.empty() && S.RxState == 0 && S.ErrorKind == 3, "an unreadable source not told");
        return;
    }
    const std::string& data = *Content(tx_.src);
    const std::string rest = offset < data.size() ? data.substr(offset) : std::string();
    const size_t t = rest.find(static_cast<char>(term));
    const bool found = t != std::string::npos;
    // A full chunk goes out when the byte after it is read; the last partial one
    // only at the terminator.
    const size_t sent = found ? t : (rest.empty() ? 0 : (rest.size() - 1) / 256 * 256);
    Writes expect;
    for (size_t at = 0; at < sent; at += 256)
        expect.push_back(rest.substr(at, std::min<size_t>(256, sent - at)));
    if (found && term == 0xFF)
        expect.push_back("\xFF");
    MUST(w == expect, "a section not sent as its bytes in writes of 256");
    if (!found) {
        MUST(S.TxState == p.tx, "a section cut short by the end of the file moved the machine");
        return;
    }
    if (term == 0x00)
        MUST(S.NulPending == 1 && S.SecondSectionOffset == t + 1, "text section end not recorded");
    // Only a text section whose header calls for the block leaves the transmission running.
    MUST(S.TxState == (term == 0x00 && tx_.blockFollows ? 3 : 0), "wrong state after a section");
    if (S.TxState == 0)
        MUST(r_.F.Memo2.Text() == kDone && S.RxState == 0, "finished transmission not shown as done");
}

void Checker::CheckTransmitByte(const Pre& p, uint8_t b, const Writes& w)
{
    const bool pair = p.esc == 1;
    MUST(p.rx == 100, "transmit machine running beside the receive machine");
    if (p.tx == 2 && pair && b == 'V')
        return CheckSection(p, 0, 0x00, w);
    if (p.tx == 4 && pair && b == 'V')
        return CheckSection(p, p.second, 0xFF, w);
    if ((p.tx == 2 || p.tx == 3) && pair && b == 'I') {
        MUST(w == Reply(0), "an inquiry not answered by 1B 41 42 40 42");
        MUST(r_.S.TxState == (p.tx == 2 ? 2 : 4) && r_.S.EscSeen == 0, "wrong state after an inquiry");
        return;
    }
    MUST(w.empty(), "the transmit machine sent something unasked");
    MUST(r_.S.TxState == p.tx, "the transmit machine moved on a byte it ignores");
}

void Checker::FollowReception(const Pre& p, uint8_t b, const Writes& w)
{
    ProgramState& S = r_.S;
    if (p.rx == 1 && p.esc == 1 && b == 'C' && p.edit1) {
        MUST(S.RxState == 2, "reception did not start");
        rec_ = Reception{true, false, S.RxFileName, S.RxHdrPath, S.RxSrcPath, "", "", {}};
        for (const std::string* path : {&rec_.list, &rec_.hdr, &rec_.src}) {
            if (Content(*path))
                rec_.before[*path] = *Content(*path);
            MUST(FailedAny() || (Content(AsidePath(*path)) && Content(AsidePath(*path))->empty()),
                 "files of a reception not emptied at its start");
        }
        return;
    }
    if (!rec_.active || p.rx < 2 || p.rx > 11)
        return;
    if (p.rx == 3)
        rec_.hdrBytes.push_back(static_cast<char>(b));
    if ((p.rx == 5 || p.rx == 9) && p.esc == 0 && b != 0x1B)
        rec_.srcBytes.push_back(static_cast<char>(b));

    if (p.rx == 7 && p.esc == 1 && b == 'I')
        MUST(S.RxState == (BlockFollows(rec_.hdrBytes) ? 8 : 0), "the header did not decide the 5001 block");

    const bool failed = FailedAny();
    const bool done = (p.rx == 7 || p.rx == 11) && S.RxState == 0;
    if (!failed && !rec_.disturbed && !done) {
        const std::string* src = Content(AsidePath(rec_.src));
        MUST(src, "source file of a reception gone");
        const bool pending = S.RxState == 5 || S.RxState == 9;
        MUST(src->size() + (pending ? S.RxText.size() : 0) == rec_.srcBytes.size(), "section bytes lost or added");
        if (!w.empty() || S.RxState != p.rx)
            MUST(*src + (pending ? S.RxText : std::string()) == rec_.srcBytes, "section bytes stored wrong");
        if (p.rx == 3 && S.RxState == 4)
            MUST(Content(AsidePath(rec_.hdr)) && *Content(AsidePath(rec_.hdr)) == rec_.hdrBytes, "header stored wrong");
    }
    if (!done)
        return;
    rec_.active = false;
    const bool success = r_.F.Memo2.Text() == kDone;
    MUST(!(failed && success), "a reception with a failed file reported as done");
    if (!success) {
        MUST(S.ErrorKind == 7, "an unfinished reception not told");
        for (const std::string* path : {&rec_.list, &rec_.hdr, &rec_.src}) {
            MUST(!Content(AsidePath(*path)), "a failed reception left files aside");
            const auto was = rec_.before.find(*path);
            MUST(rec_.disturbed || (Content(*path) ? was != rec_.before.end() && *Content(*path) == was->second
                                                   : was == rec_.before.end()),
                 "a failed reception changed the set under its name");
        }
        return;
    }
    // At once: no transmission runs beside a reception.
    MUST(r_.F.Edit2.text == S.RxFileName && S.TxFileName == S.RxFileName && S.TxHdrPath == S.RxHdrPath &&
             S.TxSrcPath == S.RxSrcPath && S.TxNextFileName.empty(),
         "received set did not become the outgoing one");
    MUST(S.RxFileName == rec_.list && S.RxHdrPath == rec_.hdr && S.RxSrcPath == rec_.src,
         "a reception ended under other names than it started with");
    if (!rec_.disturbed) {
        const std::string* src = Content(rec_.src);
        const std::string* hdr = Content(rec_.hdr);
        MUST(src && hdr && Content(rec_.list), "a reception reported done with a file missing");
        MUST(*src == rec_.srcBytes && *hdr == rec_.hdrBytes, "a reception reported done without every byte");
    }
}

void Checker::Tick1()
{
    const Pre p = Snap();
    Timer1Timer(r_.S, r_.C);
    const Writes w = std::exchange(r_.Port.Writes, {});
    const ProgramState& S = r_.S;
    const bool nul = p.nulPending == 1 && p.nulArmed == 1;
    MUST(w == (nul ? Writes{std::string(1, '\0')} : Writes{}), "zero byte not sent at the second tick");
    MUST(S.NulArmed == S.NulPending, "zero byte not armed");
    const bool busy = p.rx != 0 || p.tx != 0;
    if (busy && p.watchdog == 90) {
        MUST(S.RxState == 0 && S.ErrorKind == 4 && !r_.F.ProgressBar1.visible, "no time-out at the 91st busy tick");
        rec_.active = false;
    } else {
        MUST(S.WatchdogTicks == (busy ? p.watchdog + 1 : 0), "busy ticks miscounted");
        MUST(S.RxState == p.rx && S.TxState == p.tx, "a tick moved a machine before the time-out");
    }
    CheckState();
}

void Checker::Tick2()
{
    if (!r_.F.Timer2.enabled)
        return;
    const Pre p = Snap();
    Timer2Timer(r_.S, r_.C);
    const Writes w = std::exchange(r_.Port.Writes, {});
    const ProgramState& S = r_.S;
    if (p.hdrActive != 1 || p.txEmpty != 1) {
        MUST(w.empty() && S.HdrSendOffset == p.hdrOffset, "header byte sent before the last one drained");
    } else if (!Readable(tx_.hdr)) {
        MUST(w.empty() && S.TxState == 0 && S.ErrorKind == 3, "a header that vanished while paced not told");
    } else {
        const std::string& hdr = *Content(tx_.hdr);
        const size_t at = static_cast<size_t>(p.hdrOffset);
        if (at < hdr.size() && at < 128)
            MUST(w == Writes{hdr.substr(at, 1)} && S.HdrSendOffset == p.hdrOffset + 1 && S.TxEmpty == 0,
                 "header not paced in file order, one byte a tick");
        else
            MUST(w.empty() && S.HdrSendActive == 0 && S.HdrSendOffset == 0, "header pacing did not end");
    }
    CheckState();
}

void Checker::PortLost()
{
    const Pre p = Snap();
    const bool ended = ::PortLost(r_.S, r_.C);
    const ProgramState& S = r_.S;
    MUST(r_.Port.Writes.empty(), "bytes sent to a lost port");
    MUST(S.NulPending == 0 && S.NulArmed == 0, "a zero byte kept for the next device");
    // Command state alone ends silently; a transfer is reported by the caller.
    MUST(ended == (p.rx > 1 || p.tx != 0), "a lost port misjudged the exchange");
    MUST(S.RxState == 0 && S.EscSeen == 0 && S.RxText.empty(), "the lost port's exchange kept for the next device");
    rec_.active = false;
    CheckState();
}

void Checker::Quiet(const std::function<void()>& command)
{
    // What a menu command fails on (F8 reading a set that is being received, F7
    // trying a folder) is no failure of the reception under way.
    const std::set<std::string> failed = r_.F.Files.Failed;
    command();
    r_.F.Files.Failed = failed;
    MUST(r_.Port.Writes.empty(), "a command sent bytes to the device");
    CheckState();
}

void Checker::Touched(const std::string& path)
{
    for (const std::string* name : {&rec_.list, &rec_.hdr, &rec_.src})
        rec_.disturbed |= path == *name || path == AsidePath(*name);
}

void Checker::ChooseIncoming(const std::function<void()>& command)
{
    Quiet(command);
    const ProgramState& S = r_.S;
    if (rec_.active)
        MUST(S.RxFileName == rec_.list && S.RxHdrPath == rec_.hdr && S.RxSrcPath == rec_.src,
             "a name chosen during a reception moved it to other files");
}

// Judged after every step, so the checks of a step leave out what follows from
// these: no transmission without RxState 100, no pacing without a transmission,
// no pacing offset once it ended.
void Checker::CheckState() const
{
    const ProgramState& S = r_.S;
    MUST((S.RxState >= 0 && S.RxState <= 11) || S.RxState == 100, "RxState out of range");
    MUST(S.TxState >= 0 && S.TxState <= 4 && S.TxState != 1, "TxState out of range");
    MUST((S.TxState != 0) == (S.RxState == 100), "the machines disagree about a transmission");
    MUST(Bit(S.EscSeen) && Bit(S.TxEmpty) && Bit(S.NulPending) && Bit(S.NulArmed) && Bit(S.HdrSendActive) &&
             Bit(S.HighBitMarks) && Bit(S.RxFileFailed),
         "a flag out of range");
    MUST(S.HdrSendOffset >= 0 && S.HdrSendOffset <= 128, "header offset out of range");
    MUST(S.HdrSendActive == 1 || S.HdrSendOffset == 0, "an ended pacing kept its offset");
    MUST(S.WatchdogTicks >= 0 && S.WatchdogTicks <= 90, "watchdog count out of range");
    MUST(S.HdrSendActive == 0 || S.TxState != 0, "a header paced on after its transmission ended");
    if (S.RxState == 3)
        MUST(S.BlockCount >= 0 && S.BlockCount < 128 && S.EscSeen == 0, "header count out of range");
    MUST(S.BlockBuffer.size() >= 128, "block buffer shrank");
}

}  // namespace fuzzrig
