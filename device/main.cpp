// serbox-device: plays a keypad or display module on a pseudo-terminal of its
// own (or on a serial port), for trying and testing serbox without hardware.

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "device/Device.h"

namespace {

const char* const kUsage =
    "usage: serbox-device [options] send HDR SRC   send a stored program to serbox (serbox: F7 first)\n"
    "       serbox-device [options] receive OUT    ask serbox for its outgoing program (serbox: F8 first);\n"
    "                                               writes OUT.hdr and OUT.src\n"
    "       serbox-device [options] type           send the input's lines as terminal output and\n"
    "                                               print the keys serbox sends\n"
    "options:\n"
    "  --port PATH     use this serial device instead of a new pseudo-terminal\n"
    "  --chunk N       section bytes between two polls (default 1024)\n"
    "  --baud          pace the bytes sent as a 4800-baud line does (2.08 ms a byte)\n"
    "  --timeout MS    longest wait for a reply (default 3000)\n"
    "  --no-wait       start as soon as serbox has opened the port, without waiting for Enter\n"
    "exit status: 0 only when every byte of the exchange was right\n";

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
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        long n = 0;
        if (a == "--port" && i + 1 < argc)
            port = argv[++i];
        else if (a == "--chunk" && i + 1 < argc && Number(argv[i + 1], 1, n))
            options.chunk = static_cast<size_t>(n), ++i;
        else if (a == "--timeout" && i + 1 < argc && Number(argv[i + 1], 1, n))
            options.timeoutMs = static_cast<int>(n), ++i;
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
    if (args.empty())
        return Usage();
    const std::string& command = args[0];
    if (!((command == "send" && args.size() == 3) || (command == "receive" && args.size() == 2) ||
          (command == "type" && args.size() == 1)))
        return Usage();

    try {
        std::optional<device::Program> program;
        if (command == "send")
            program = device::LoadProgram(args[1], args[2]);
        device::Line line = port ? device::Line::OpenDevice(*port) : device::Line::CreatePty();
        if (!port) {
            std::cout << "port: " << line.Path() << std::endl;
            std::cout << "In serbox choose Setup, pick a COM port, and type this path as its device." << std::endl;
            line.WaitForPeer(-1);
            std::cout << "serbox has opened the port." << std::endl;
        }
        if (command == "type") {
            device::TypeLines(line, STDIN_FILENO, options, std::cout);
            return 0;
        }
        if (wait) {
            std::cout << (command == "send" ? "Choose the incoming file with F7 in serbox, then press Enter here."
                                            : "Choose the file to send with F8 in serbox, then press Enter here.")
                      << std::endl;
            std::string ignored;
            std::getline(std::cin, ignored);
        }
        if (command == "send") {
            device::SendProgram(line, *program, options, std::cout);
        } else {
            const device::Program got = device::ReceiveProgram(line, options, std::cout);
            device::SaveProgram(got, args[1]);
            std::cout << "wrote " << args[1] << ".hdr and " << args[1] << ".src" << std::endl;
        }
        std::cout << "exchange complete" << std::endl;
        return 0;
    } catch (const device::Failure& e) {
        std::cerr << "serbox-device: " << e.what() << std::endl;
        return 1;
    }
}
