// The serial devices present, as Qt Serial Port finds them.
#include <QSerialPortInfo>

#include "platform/serial/System.h"

namespace platform {

std::vector<DetectedPort> DetectSerialPorts()
{
    std::vector<DetectedPort> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.push_back({info.systemLocation().toStdString(), info.description().toStdString(),
                         info.manufacturer().toStdString(), info.serialNumber().toStdString()});
    return ports;
}

}  // namespace platform
