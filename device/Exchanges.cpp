#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>

#include "device/Device.h"
#include "link/StoredFileSet.h"

namespace device {

namespace {

using Clock = std::chrono::steady_clock;

const std::string kEsc = "\x1B";
// What the PC answers to a poll, by where the exchange stands.
const std::string kReady = "\x1B\x41\x42\x40\x42";
const std::string kChunkStored = "\x1B\x42\x42\x40\x42";
const std::string kSectionEnded = "\x1B\x42\x41\x40\x42";

constexpr size_t kHeaderSize = 128;

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Failure("cannot read " + path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    if (!out)
        throw Failure("cannot write " + path);
}

void Poll(Line& line, const Options& options, const std::string& expected, const std::string& when)
{
    line.Send(kEsc + "I", options);
    const std::string got = line.Read(expected.size(), options.timeoutMs, "reply to the poll " + when);
    if (got != expected)
        throw Failure("wrong reply to the poll " + when + ": " + Hex(got) + ", expected " + Hex(expected));
}

// The section's bytes in chunks, a poll after each chunk but the last, whose
// terminator closes the section instead.
void SendSection(Line& line, const std::string& bytes, const Options& options, const std::string& name)
{
    const size_t chunk = options.chunk > 0 ? options.chunk : bytes.size() + 1;
    size_t at = 0;
    while (bytes.size() - at > chunk) {
        line.Send(bytes.substr(at, chunk), options);
        at += chunk;
        Poll(line, options, kChunkStored, "after " + std::to_string(at) + " bytes of the " + name);
    }
    line.Send(bytes.substr(at), options);
}

void ExpectSilence(Line& line, const std::string& when)
{
    const std::string extra = line.ReadQuiet(300);
    if (!extra.empty())
        throw Failure("unexpected bytes from the PC " + when + ": " + Hex(extra.substr(0, 32)));
}

}  // namespace

bool HasSecondSection(const std::string& hdr)
{
    ProgramState S;
    std::string block = hdr;
    block.resize(kHeaderSize, '\0');
    ClassifyHeader(S, reinterpret_cast<const uint8_t*>(block.data()));
    return SecondSectionFollows(S);
}

Program LoadProgram(const std::string& hdrPath, const std::string& srcPath)
{
    Program p{ReadFile(hdrPath), ReadFile(srcPath)};
    if (p.hdr.size() != kHeaderSize)
        throw Failure(hdrPath + " holds " + std::to_string(p.hdr.size()) + " bytes; a header block has 128");
    const size_t end = p.src.find('\0');
    if (end == std::string::npos)
        throw Failure(srcPath + " has no 0x00 at the end of its text section");
    if (p.src.find('\x1B') < end)
        throw Failure(srcPath + ": its text section holds 0x1B, which the line cannot carry");
    if (HasSecondSection(p.hdr)) {
        const size_t ff = p.src.find('\xFF', end + 1);
        if (ff == std::string::npos)
            throw Failure(srcPath + ": the header calls for a 5001 block, and the file has none ended by 0xFF");
        if (p.src.find('\x1B', end + 1) < ff)
            throw Failure(srcPath + ": its 5001 block holds 0x1B, which the line cannot carry");
        p.src.resize(ff + 1);
    } else {
        p.src.resize(end + 1);
    }
    return p;
}

void SaveProgram(const Program& program, const std::string& out)
{
    WriteFile(out + ".hdr", program.hdr);
    WriteFile(out + ".src", program.src);
}

void SendProgram(Line& line, const Program& program, const Options& options, std::ostream& log)
{
    const size_t end = program.src.find('\0');
    const std::string text = program.src.substr(0, end);
    line.Send(kEsc + "A", options);
    Poll(line, options, kReady, "in command state");
    line.Send(kEsc + "C" + kEsc + "Y", options);
    line.Send(program.hdr, options);
    try {
        Poll(line, options, kReady, "after the header");
    } catch (const Failure& e) {
        throw Failure(std::string(e.what()) + " (was an incoming file chosen with F7?)");
    }
    log << "header sent; the text section to send: " << text.size() << " bytes and its closing 0x00" << std::endl;
    line.Send(kEsc + "U", options);
    SendSection(line, text + '\0', options, "text section");
    Poll(line, options, kSectionEnded, "after the text section");
    Poll(line, options, kReady, "that closes the text section");
    if (HasSecondSection(program.hdr)) {
        line.Send(kEsc + "U", options);
        SendSection(line, program.src.substr(end + 1), options, "5001 block");
        Poll(line, options, kSectionEnded, "after the 5001 block");
        Poll(line, options, kReady, "that closes the 5001 block");
    }
    ExpectSilence(line, "after the last poll");
    log << "sent the " << program.hdr.size() << "-byte header and all " << program.src.size()
        << " bytes of the .src file (the text section with its closing 0x00"
        << (HasSecondSection(program.hdr) ? ", then the 5001 block)" : ")") << std::endl;
}

Program ReceiveProgram(Line& line, const Options& options, std::ostream& log)
{
    Program p;
    line.Send(kEsc + "A" + kEsc + "Z", options);
    std::string leadIn;
    try {
        leadIn = line.Read(2, options.timeoutMs, "lead-in");
    } catch (const Failure& e) {
        throw Failure(std::string(e.what()) + " (was an outgoing file chosen with F8?)");
    }
    if (leadIn != "\x80\x80")
        throw Failure("wrong lead-in: " + Hex(leadIn) + ", expected 80 80");
    // The header comes one byte per 100 ms tick. Single gaps prove little (a
    // busy PC or device can bring two bytes in one read), the whole does: an
    // unpaced header arrives in a fraction of a second.
    const auto headerStart = line.LastArrival();
    p.hdr = line.Read(kHeaderSize, options.timeoutMs, "header of 128 bytes");
    if (line.LastArrival() - headerStart < std::chrono::milliseconds(127 * 50))
        throw Failure("the header came faster than one byte a tick: it was not paced");
    log << "header received" << std::endl;
    Poll(line, options, kReady, "after the header");
    line.Send(kEsc + "V", options);
    // The zero byte comes from the PC's one-second watchdog, a tick or two after
    // the request, never with the text.
    const auto asked = Clock::now();
    p.src = line.ReadThrough(0x00, options.timeoutMs, "the text section");
    if (line.LastArrival() - asked < std::chrono::milliseconds(500))
        throw Failure("the 0x00 after the text section came at once, not from the watchdog");
    log << "text section received, " << p.src.size() - 1 << " bytes" << std::endl;
    if (HasSecondSection(p.hdr)) {
        Poll(line, options, kReady, "before the 5001 block");
        line.Send(kEsc + "V", options);
        p.src += line.ReadThrough(0xFF, options.timeoutMs, "the 5001 block");
        log << "5001 block received" << std::endl;
    }
    ExpectSilence(line, "after the last section");
    return p;
}

void TypeLines(Line& line, int inputFd, const Options& options, std::ostream& echo)
{
    std::string input;
    bool open = true;
    while (open) {
        pollfd p[2] = {{inputFd, POLLIN, 0}, {line.Fd(), POLLIN, 0}};
        if (::poll(p, 2, -1) < 0 && errno != EINTR)
            throw Failure("cannot wait for input");
        if (p[1].revents & POLLIN) {
            const std::string keys = line.ReadQuiet(20);
            if (!keys.empty())
                echo << "received " << Hex(keys) << std::endl;
        } else if (p[1].revents & POLLHUP) {
            // The PC has not opened the port yet, or has closed it.
            ::poll(nullptr, 0, 50);
        }
        if (p[0].revents & (POLLIN | POLLHUP)) {
            char buf[1024];
            const ssize_t n = ::read(inputFd, buf, sizeof buf);
            if (n <= 0)
                open = false;
            else
                input.append(buf, static_cast<size_t>(n));
            for (size_t nl; (nl = input.find('\n')) != std::string::npos; input.erase(0, nl + 1))
                line.Send(input.substr(0, nl) + "\r\n", options);
        }
    }
    if (!input.empty())
        line.Send(input + "\r\n", options);
    const std::string keys = line.ReadQuiet(100);
    if (!keys.empty())
        echo << "received " << Hex(keys) << std::endl;
}

std::vector<Step> ParseSteps(const std::vector<std::string>& args, long repeat, std::string* problem)
{
    auto fail = [problem](const std::string& why) {
        if (problem)
            *problem = why;
        return std::vector<Step>{};
    };
    if (args.empty())
        return fail("no step given");
    std::vector<Step> once;
    for (size_t i = 0; i < args.size();) {
        const std::string& c = args[i];
        if (c != "send" && c != "receive" && c != "type")
            return fail("unknown step \"" + c + "\"");
        const size_t n = c == "send" ? 2 : c == "receive" ? 1 : 0;
        if (i + n >= args.size())
            return fail(c == "send" ? "send needs a .hdr and a .src file" : "receive needs a name to write OUT.hdr and OUT.src");
        // "type" ends at the end of the input: nothing can follow it, not even a repeat.
        if (c == "type" && i + 1 != args.size())
            return fail("type must be the last step");
        if (c == "type" && repeat != 1)
            return fail("type cannot be repeated");
        once.push_back({c, std::vector<std::string>(args.begin() + i + 1, args.begin() + i + 1 + n)});
        i += n + 1;
    }
    std::vector<Step> steps;
    for (long r = 0; r < repeat; ++r)
        steps.insert(steps.end(), once.begin(), once.end());
    return steps;
}

namespace {

bool Number(const std::string& text, long min, long& value)
{
    char* end = nullptr;
    value = std::strtol(text.c_str(), &end, 10);
    return end && *end == '\0' && end != text.c_str() && value >= min;
}

}  // namespace

bool ParseCommandLine(const std::vector<std::string>& args, CommandLine& line, std::string& problem)
{
    std::vector<std::string> steps;
    long repeat = 1;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool valued = a == "--port" || a == "--chunk" || a == "--timeout" || a == "--repeat";
        if (valued && i + 1 >= args.size()) {
            problem = a + " needs a value";
            return false;
        }
        long n = 0;
        if (a == "--port") {
            line.port = args[++i];
        } else if (valued) {
            const std::string& value = args[++i];
            const long most = a == "--repeat" ? 100000 : LONG_MAX;
            if (!Number(value, 1, n) || n > most) {
                problem = a + (a == "--repeat" ? " needs a number from 1 to 100000" : " needs a number of 1 or more") +
                          ", not \"" + value + "\"";
                return false;
            }
            if (a == "--chunk")
                line.options.chunk = static_cast<size_t>(n);
            else if (a == "--timeout")
                line.options.timeoutMs = static_cast<int>(std::min<long>(n, INT_MAX));
            else
                repeat = n;
        } else if (a == "--baud") {
            line.options.baudPace = true;
        } else if (a == "--no-wait") {
            line.wait = false;
        } else if (a == "--exit") {
            line.exitAtEnd = true;
        } else if (a == "-h" || a == "--help") {
            line.help = true;
            return true;
        } else if (a.rfind("--", 0) == 0) {
            problem = "unknown option " + a;
            return false;
        } else {
            steps.push_back(a);
        }
    }
    line.steps = ParseSteps(steps, repeat, &problem);
    return !line.steps.empty();
}

}  // namespace device
