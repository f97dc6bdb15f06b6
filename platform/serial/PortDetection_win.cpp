// The serial ports present, by the names Device Manager shows.
#include <windows.h>
// clang-format off
#include <devguid.h>
#include <setupapi.h>
// clang-format on

#include <algorithm>
#include <filesystem>
#include <map>

#include "platform/files/StdFileSystem.h"
#include "platform/serial/System.h"

namespace platform {
namespace {

std::string Utf8(const wchar_t* text) { return Utf8FromPath(std::filesystem::path(text)); }

// "USB Serial Port (COM5)" and its maker, by port name, from the Ports class of
// the device manager; a port it does not know keeps its bare name.
std::map<std::string, DetectedPort> NamedPorts()
{
    std::map<std::string, DetectedPort> named;
    HDEVINFO set = ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return named;
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(set, i, &info); ++i) {
        wchar_t port[256] = {}, friendly[512] = {};
        HKEY key = ::SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        DWORD size = sizeof port - sizeof(wchar_t), type = 0;
        const bool hasPort = ::RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(port),
                                                &size) == ERROR_SUCCESS && type == REG_SZ;
        ::RegCloseKey(key);
        if (!hasPort)
            continue;
        ::SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_FRIENDLYNAME, nullptr, reinterpret_cast<BYTE*>(friendly),
                                            sizeof friendly - sizeof(wchar_t), nullptr);
        named[Utf8(port)] = {Utf8(port), Utf8(friendly), {}, {}};
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return named;
}

}  // namespace

// The system's own list of its serial ports (value data "COM3" and the like),
// named as the device manager names them.
std::vector<DetectedPort> DetectSerialPorts()
{
    std::vector<DetectedPort> ports;
    const std::map<std::string, DetectedPort> named = NamedPorts();
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        for (DWORD i = 0;; ++i) {
            wchar_t name[256], data[256];
            DWORD nameSize = 256, dataSize = sizeof data - sizeof(wchar_t), type = 0;
            const LONG r =
                ::RegEnumValueW(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
            if (r == ERROR_NO_MORE_ITEMS)
                break;
            if (r != ERROR_SUCCESS || type != REG_SZ)
                continue;
            data[dataSize / sizeof(wchar_t)] = L'\0';
            const std::string device = Utf8(data);
            const auto it = named.find(device);
            // Not the driver's internal name (\Device\VCP0): nobody knows it.
            ports.push_back(it != named.end() ? it->second : DetectedPort{device, {}, {}, {}});
        }
        ::RegCloseKey(key);
    }
    std::sort(ports.begin(), ports.end(), [](const DetectedPort& a, const DetectedPort& b) {
        return a.Device.size() != b.Device.size() ? a.Device.size() < b.Device.size() : a.Device < b.Device;
    });
    return ports;
}

}  // namespace platform
