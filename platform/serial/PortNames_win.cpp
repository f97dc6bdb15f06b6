// On Windows COM1..COM4 are the system's own port names, so each stands for the
// port of that name: a technician's "COM 2" is Device Manager's COM2, never
// another port moved up because one is missing. A name with no such port stays
// unbound and is opened as it is, which reports the port as not found.
#include "platform/serial/PortNames.h"
#include "platform/serial/System.h"

#include <windows.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/files/StdFileSystem.h"

namespace platform {
namespace {

// "COM3" from "COM3", "\\.\COM3" or "com3"; empty for anything else.
std::string ComName(const std::string& device)
{
    std::string name = device.rfind("\\\\.\\", 0) == 0 ? device.substr(4) : device;
    for (char& c : name)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    if (name.size() < 4 || name.rfind("COM", 0) != 0 || name.find_first_not_of("0123456789", 3) != std::string::npos)
        return {};
    return name;
}

}  // namespace

std::map<std::string, std::string> BindFreeNames(const std::vector<std::string>& names,
                                                 const std::vector<DetectedPort>& ports)
{
    std::map<std::string, std::string> bindings;
    for (const auto& p : ports)
        for (const std::string& name : names)
            if (ComName(p.Device) == name)
                bindings[name] = p.Device;
    return bindings;
}

// A port is known by its name here, and BindFreeNames gives a name only its own port.
std::string Recognise(const DetectedPort&, const std::string&) { return {}; }

std::wstring WindowsDevicePath(const std::string& device)
{
    const std::wstring path = PathFromUtf8(device).native();
    // COM10 and up are reachable only through the device namespace.
    return ComName(device).empty() || device.rfind("\\\\.\\", 0) == 0 ? path : L"\\\\.\\" + path;
}

int ErrnoOfOpenError(unsigned long error)
{
    // A port that another program holds refuses access.
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND      ? ENOENT
           : error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? EBUSY
                                                                               : EIO;
}

std::string CheckDevicePath(const std::string& path)
{
    std::error_code ec;
    const std::filesystem::path p = PathFromUtf8(path);
    if (std::filesystem::is_directory(p, ec))
        return path + " is a folder, not a serial device";
    if (std::filesystem::is_regular_file(p, ec))
        return path + " is a file, not a serial device";
    HANDLE h = ::CreateFileW(WindowsDevicePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return ExplainOpenFailure(path, ErrnoOfOpenError(::GetLastError()));
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    const bool serial = ::GetCommState(h, &dcb) != 0;
    ::CloseHandle(h);
    if (!serial)
        return path + " is not a serial port";
    return {};
}

bool StandsForNoDevice(const std::string&)
{
    return false;  // COM1..COM4 are device names here
}

std::string ExplainOpenFailure(const std::string& device, int err)
{
    switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return "Device not found: " + device + " (is the adapter plugged in? Device Manager lists the COM ports)";
    case EACCES:
    case EPERM:
    case EBUSY:
        return device + " is busy: another program is using it";
    default:
        return device + ": " + std::strerror(err);
    }
}

}  // namespace platform
