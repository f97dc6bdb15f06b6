// serbox-device: plays a keypad or display module on a pseudo-terminal of its
// own (or on a serial port), for trying and testing serbox without hardware.

#include <csignal>
#include <unistd.h>

#include <iostream>
#include <map>
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
    "  --exit         end after the last step; from a terminal the port otherwise\n"
    "                 stays open until Ctrl-C, so serbox keeps its line\n"
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

// One line saying what is wrong, then how it is used.
int Usage(const std::string& problem)
{
    std::cerr << "serbox-device: " << problem << "\n" << kUsage;
    return 2;
}

// After the last step, in a technician's terminal: closing the pseudo-terminal
// now would pull the line from under serbox, which would report the device lost
// right after a good exchange. Scripts (no terminal, or --exit) end at once.
void StayUntilInterrupted()
{
    sigset_t ending;
    sigemptyset(&ending);
    sigaddset(&ending, SIGINT);
    sigaddset(&ending, SIGTERM);
    sigaddset(&ending, SIGHUP);
    ::sigprocmask(SIG_BLOCK, &ending, nullptr);
    std::cout << "All steps done. The port stays open for serbox; press Ctrl-C here to end." << std::endl;
    int signal = 0;
    ::sigwait(&ending, &signal);
}

}  // namespace

int main(int argc, char** argv)
{
    device::CommandLine command;
    std::string problem;
    if (!device::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), command, problem))
        return Usage(problem);
    if (command.help)
        return std::cout << kUsage, 0;
    const device::Options& options = command.options;
    const std::vector<device::Step>& steps = command.steps;

    try {
        std::map<std::vector<std::string>, device::Program> programs;  // each pair read once
        for (const device::Step& step : steps)
            if (step.command == "send" && !programs.count(step.args))
                programs[step.args] = device::LoadProgram(step.args[0], step.args[1]);
        device::Line line = !command.port.empty() ? device::Line::OpenDevice(command.port) : device::Line::CreatePty();
        if (command.port.empty()) {
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
            if (command.wait) {
                std::cout << (step.command == "send" ? "Choose the incoming file with F7 in serbox, then press Enter here."
                                                     : "Press Enter here to ask serbox for its outgoing set: the one it has just saved, "
                                                       "or the one chosen with F8.")
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
        if (!command.exitAtEnd && ::isatty(STDIN_FILENO))
            StayUntilInterrupted();
        return 0;
    } catch (const device::Failure& e) {
        std::cerr << "serbox-device: " << e.what() << std::endl;
        return 1;
    }
}
