// The serial devices present, as Qt Serial Port finds them, with their stable
// links and whether another program has them.
#include <QSerialPortInfo>
#include <filesystem>

#include "platform/serial/System.h"

namespace platform {

std::vector<DetectedPort> DetectSerialPorts()
{
    std::vector<DetectedPort> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        DetectedPort p{info.systemLocation().toStdString(), info.description().toStdString(),
                       info.manufacturer().toStdString(), info.serialNumber().toStdString()};
        std::error_code none, gone, dangling;
        const auto device = std::filesystem::canonical(p.Device, gone);
        for (const auto& link : std::filesystem::directory_iterator(kStablePaths, none))
            if (!gone && std::filesystem::canonical(link.path(), dangling) == device)
                p.StableName = link.path().filename().string();
        p.InUse = HeldByAnotherProgram(p.Device);
        ports.push_back(p);
    }
    return ports;
}

}  // namespace platform
