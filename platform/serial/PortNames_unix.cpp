#include "platform/serial/PortNames.h"
#include "platform/serial/System.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <signal.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

int Rank(const std::string& device)
{
    if (device.find("ttyUSB") != std::string::npos || device.find("ttyACM") != std::string::npos)
        return 0;
    return 1;
}

// A serial port (the kernel's tty class) or a pseudo-terminal's slave end.
bool IsTerminalDevice(dev_t device)
{
    constexpr unsigned kPtySlaves = 136, kPtySlavesEnd = 143;  // the kernel's Unix98 pty majors
    if (major(device) >= kPtySlaves && major(device) <= kPtySlavesEnd)
        return true;
    std::error_code none;
    const auto subsystem = std::filesystem::read_symlink(
        "/sys/dev/char/" + std::to_string(major(device)) + ":" + std::to_string(minor(device)) + "/subsystem", none);
    return subsystem.filename() == "tty";
}

}  // namespace

// USB adapters first (the common case: one adapter is COM1), built-in ports after.
std::map<std::string, std::string> BindFreeNames(const std::vector<std::string>& names,
                                                 const std::vector<DetectedPort>& ports)
{
    std::vector<std::string> devices;
    for (const auto& p : ports)
        devices.push_back(p.Device);
    std::stable_sort(devices.begin(), devices.end(), [](const std::string& a, const std::string& b) {
        if (Rank(a) != Rank(b))
            return Rank(a) < Rank(b);
        if (a.size() != b.size())
            return a.size() < b.size();  // ttyS2 before ttyS10
        return a < b;
    });
    std::map<std::string, std::string> bindings;
    for (size_t i = 0; i < devices.size() && i < names.size(); ++i)
        bindings[names[i]] = devices[i];
    return bindings;
}

// Processes end and links go while a folder is read: an entry that vanishes
// ends the reading of that folder, never the program.
static void EachEntry(const std::filesystem::path& dir, const std::function<void(const std::filesystem::path&)>& each)
{
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        each(it->path());
}

std::string StableNameOf(const std::string& device, const std::string& stablePaths)
{
    // By the paths the links resolve to: std::filesystem::equivalent refuses two
    // device files.
    std::error_code gone;
    const auto target = std::filesystem::canonical(device, gone);
    std::string name;
    if (!gone)
        EachEntry(stablePaths, [&](const std::filesystem::path& link) {
            std::error_code dangling;
            if (name.empty() && std::filesystem::canonical(link, dangling) == target)
                name = link.filename().string();
        });
    return name;
}

// The stable link names the adapter's own serial number and interface, so it holds
// wherever the adapter is plugged and whichever ttyUSBn it gets; without one, the
// serial number the adapter reports.
std::string Recognise(const DetectedPort& port, const std::string& stablePaths)
{
    if (const std::string link = StableNameOf(port.Device, stablePaths); !link.empty())
        return "link " + link;
    if (port.SerialNumber.empty())
        return {};
    return "serial " + port.Manufacturer + "/" + port.Description + "/" + port.SerialNumber;
}

std::string CheckDevicePath(const std::string& path)
{
    NetworkPortName network;
    if (IsNetworkPortName(path))
        return ParseNetworkPortName(path, network);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return "No such device: " + path;
    if (S_ISDIR(st.st_mode))
        return path + " is a folder, not a serial device";
    if (!S_ISCHR(st.st_mode))
        return path + " is a file, not a serial device";
    if (!IsTerminalDevice(st.st_rdev))
        return path + " is not a serial port or terminal";
    if (::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) != 0)
        return ExplainOpenFailure(path, errno);
    return {};
}

// By the lock file of the convention serial programs share (a live owner), or by
// a program that has the device among its open files (as far as this user may see).
bool HeldByAnotherProgram(const std::string& device)
{
    const pid_t self = ::getpid();
    auto alive = [self](pid_t pid) { return pid > 0 && pid != self && (::kill(pid, 0) == 0 || errno == EPERM); };
    std::string base = device.rfind("/dev/", 0) == 0 ? device.substr(5) : device;
    std::replace(base.begin(), base.end(), '/', '_');
    for (const char* dir : {"/var/lock/", "/run/lock/"}) {
        std::ifstream lock(dir + ("LCK.." + base));
        long pid = 0;
        if (lock >> pid && alive(static_cast<pid_t>(pid)))
            return true;
    }
    std::error_code none, gone;
    const auto target = std::filesystem::canonical(device, gone);
    if (gone)
        return false;
    bool held = false;
    EachEntry("/proc", [&](const std::filesystem::path& process) {
        const std::string name = process.filename().string();
        if (held || name.empty() || name.size() > 9 || name.find_first_not_of("0123456789") != std::string::npos ||
            std::stol(name) == self)
            return;
        EachEntry(process / "fd", [&](const std::filesystem::path& fd) {
            std::error_code closed;
            held = held || std::filesystem::read_symlink(fd, closed) == target;
        });
    });
    return held;
}

bool StandsForNoDevice(const std::string& device)
{
    return device.rfind("COM", 0) == 0 && device.find('/') == std::string::npos;
}

std::string ExplainOpenFailure(const std::string& device, int err)
{
    // A port that another program holds (its lock file, or exclusive use) is
    // refused like a forbidden one: whether this user may open it at all tells.
    if (err == EACCES || err == EPERM || err == EBUSY)
        err = ::faccessat(AT_FDCWD, device.c_str(), R_OK | W_OK, AT_EACCESS) == 0 ? EBUSY : errno;
    switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return "Device not found: " + device + " (is the adapter plugged in?)";
    case EACCES:
    case EPERM:
        return "Permission denied on " + device +
               ": add your user to the 'dialout' group (sudo adduser $USER dialout), then log in again";
    case EBUSY:
        return device + " is busy: another program is using it";
    default:
        return device + ": " + std::strerror(err);
    }
}

}  // namespace platform
