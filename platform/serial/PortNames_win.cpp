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
#include <set>
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

std::string Upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return s;
}

// The system's own list of its serial ports' names (COM3, CNCA0, ...).
std::set<std::string> SystemSerialPorts()
{
    std::set<std::string> names;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256], data[256];
        DWORD nameSize = 256, dataSize = sizeof data - sizeof(wchar_t), type = 0;
        const LONG r = ::RegEnumValueW(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
        if (r == ERROR_NO_MORE_ITEMS)
            break;
        if (r != ERROR_SUCCESS || type != REG_SZ)
            continue;
        data[dataSize / sizeof(wchar_t)] = L'\0';
        names.insert(Upper(Utf8FromPath(std::filesystem::path(data))));
    }
    ::RegCloseKey(key);
    return names;
}

// A device name the system resolves (COM3, NUL), asked without opening it.
bool KnownToSystem(const std::string& name)
{
    if (SystemSerialPorts().count(Upper(name)))
        return true;
    wchar_t target[1024];
    return ::QueryDosDeviceW(PathFromUtf8(name).c_str(), target, 1024) != 0;
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
    // Every port through the device namespace: COM10 and up and a virtual pair's
    // CNCA0 are not reachable otherwise, and a bare name opens a file of the
    // current folder.
    return device.rfind("\\\\.\\", 0) == 0 ? path : L"\\\\.\\" + path;
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
    NetworkPortName network;
    if (IsNetworkPortName(path))
        return ParseNetworkPortName(path, network);
    // A COM name is a port when the system has a device of that name; a file or
    // a folder of the same name in the current folder changes nothing.
    const std::string com = ComName(path);
    if (!com.empty())
        return KnownToSystem(com) ? std::string() : ExplainOpenFailure(path, ENOENT);
    const std::string bare = path.rfind("\\\\.\\", 0) == 0 ? path.substr(4) : path;
    if (SystemSerialPorts().count(Upper(bare)))
        return {};  // a port by another name (a virtual pair's CNCA0, say)
    if (path.rfind("\\\\.\\", 0) != 0) {
        std::error_code ec;
        const std::filesystem::path p = PathFromUtf8(path);
        if (std::filesystem::is_directory(p, ec))
            return path + " is a folder, not a serial device";
        if (std::filesystem::is_regular_file(p, ec))
            return path + " is a file, not a serial device";
    }
    if (KnownToSystem(bare))
        return path + " is not a serial port";
    return ExplainOpenFailure(path, ENOENT);
}

// Windows tells whether a port is open only to the program that tries to open it.
bool HeldByAnotherProgram(const std::string&) { return false; }

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
