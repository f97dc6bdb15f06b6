// serbox-device: plays a keypad or display module on a pseudo-terminal of its
// own (or on a serial port), for trying and testing serbox without hardware.

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "device/Device.h"

namespace {

const char* const kUsage =
    "usage: serbox-device [options] STEP...\n"
    "steps, run in order on the same port:\n"
    "  send HDR SRC   send a stored program to serbox (in serbox: F7 first)\n"
    "  receive OUT    ask serbox for its outgoing program (in serbox: F8 first, or a\n"
    "                 reception just completed); writes OUT.hdr and OUT.src\n"
    "  type           send the input's lines as terminal output and print the keys\n"
    "                 serbox sends, until the input ends (last step only)\n"
    "options:\n"
    "  --port PATH    use this serial device instead of a new pseudo-terminal\n"
    "  --chunk N      section bytes between two polls (default 1024)\n"
    "  --baud         pace the bytes sent as a 4800-baud line does (2.08 ms a byte)\n"
    "  --timeout MS   longest wait for a reply (default 3000)\n"
    "  --no-wait      start each step at once, without waiting for Enter\n"
    "  --repeat N     run the steps N times over, up to 100000 (not with type)\n"
    "exit status: 0 only when every byte of every step was right\n";

// A line from the input, read without buffering so that a later "type" step
// sees everything after it.
bool ReadInputLine(std::string& line)
{
    line.clear();
    char c;
    while (::read(STDIN_FILENO, &c, 1) == 1) {
        if (c == '\n')
            return true;
        line.push_back(c);
    }
    return !line.empty();
}

int Usage()
{
    std::cerr << kUsage;
    return 2;
}

bool Number(const char* text, long min, long& value)
{
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return end && *end == '\0' && end != text && value >= min;
}

}  // namespace

int main(int argc, char** argv)
{
    device::Options options;
    std::optional<std::string> port;
    bool wait = true;
    std::vector<std::string> args;
    long repeat = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        long n = 0;
        if (a == "--port" && i + 1 < argc)
            port = argv[++i];
        else if (a == "--chunk" && i + 1 < argc && Number(argv[i + 1], 1, n))
            options.chunk = static_cast<size_t>(n), ++i;
        else if (a == "--timeout" && i + 1 < argc && Number(argv[i + 1], 1, n))
            options.timeoutMs = static_cast<int>(n), ++i;
        else if (a == "--repeat" && i + 1 < argc && Number(argv[i + 1], 1, n) && n <= 100000)
            repeat = n, ++i;
        else if (a == "--baud")
            options.baudPace = true;
        else if (a == "--no-wait")
            wait = false;
        else if (a == "-h" || a == "--help")
            return std::cout << kUsage, 0;
        else if (a.rfind("--", 0) == 0)
            return std::cerr << "serbox-device: unknown or incomplete option " << a << "\n", Usage();
        else
            args.push_back(a);
    }
    const std::vector<device::Step> steps = device::ParseSteps(args, repeat);
    if (steps.empty())
        return Usage();

    try {
        std::map<std::vector<std::string>, device::Program> programs;  // each pair read once
        for (const device::Step& step : steps)
            if (step.command == "send" && !programs.count(step.args))
                programs[step.args] = device::LoadProgram(step.args[0], step.args[1]);
        device::Line line = port ? device::Line::OpenDevice(*port) : device::Line::CreatePty();
        if (!port) {
            std::cout << "port: " << line.Path() << std::endl;
            std::cout << "In serbox's port setup, pick a COM port and type this path as its device." << std::endl;
            line.WaitForPeer(-1);
            std::cout << "serbox has opened the port." << std::endl;
        }
        for (const device::Step& step : steps) {
            if (step.command == "type") {
                device::TypeLines(line, STDIN_FILENO, options, std::cout);
                break;
            }
            if (wait) {
                std::cout << (step.command == "send" ? "Choose the incoming file with F7 in serbox, then press Enter here."
                                                     : "Choose the file to send with F8 in serbox, then press Enter here.")
                          << std::endl;
                std::string ignored;
                ReadInputLine(ignored);
            }
            if (step.command == "send") {
                device::SendProgram(line, programs.at(step.args), options, std::cout);
            } else {
                const device::Program got = device::ReceiveProgram(line, options, std::cout);
                device::SaveProgram(got, step.args[0]);
                std::cout << "wrote " << step.args[0] << ".hdr and " << step.args[0] << ".src" << std::endl;
            }
            std::cout << step.command << " complete" << std::endl;
        }
        return 0;
    } catch (const device::Failure& e) {
        std::cerr << "serbox-device: " << e.what() << std::endl;
        return 1;
    }
}
