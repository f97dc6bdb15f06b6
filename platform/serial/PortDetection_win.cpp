#include <windows.h>

#include <algorithm>

#include "platform/serial/System.h"

namespace platform {

// The system's own list of its serial ports: value data "COM3" and the like.
std::vector<DetectedPort> DetectSerialPorts()
{
    std::vector<DetectedPort> ports;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return ports;
    for (DWORD i = 0;; ++i) {
        char name[256], data[256];
        DWORD nameSize = sizeof name, dataSize = sizeof data - 1, type = 0;
        const LONG r = ::RegEnumValueA(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
        if (r == ERROR_NO_MORE_ITEMS)
            break;
        if (r != ERROR_SUCCESS || type != REG_SZ)
            continue;
        data[dataSize] = '\0';
        ports.push_back({data, name, {}, {}});
    }
    ::RegCloseKey(key);
    std::sort(ports.begin(), ports.end(), [](const DetectedPort& a, const DetectedPort& b) {
        return a.Device.size() != b.Device.size() ? a.Device.size() < b.Device.size() : a.Device < b.Device;
    });
    return ports;
}

}  // namespace platform
