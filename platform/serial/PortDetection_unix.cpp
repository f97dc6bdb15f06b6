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
        p.StableName = StableNameOf(p.Device, kStablePaths);
        p.InUse = HeldByAnotherProgram(p.Device);
        ports.push_back(p);
    }
    return ports;
}

}  // namespace platform
