#include "platform/QtSerialPort.h"
// placeholder until the component lands
namespace platform {
struct QtSerialPort::Impl { std::string name = "COM"; LineSettings line; };
QtSerialPort::QtSerialPort(QWidget*) : d_(new Impl) {}
QtSerialPort::~QtSerialPort() { delete d_; }
void QtSerialPort::SetPort(const std::string& n) { d_->name = n; }
std::string QtSerialPort::Port() const { return d_->name; }
void QtSerialPort::Open() { throw EComPort("not implemented"); }
void QtSerialPort::Close() {}
bool QtSerialPort::Connected() const { return false; }
void QtSerialPort::SetBaudRate(int) {}
void QtSerialPort::SetDataBits(int) {}
void QtSerialPort::SetStopBits(StopBits) {}
void QtSerialPort::SetParityCheck(bool) {}
void QtSerialPort::SetDtrControl(DtrControl) {}
void QtSerialPort::SetDTR(bool) {}
void QtSerialPort::SetRTS(bool) {}
LineSettings QtSerialPort::Settings() const { return d_->line; }
void QtSerialPort::ShowSetupDialog() {}
int QtSerialPort::ReadStr(std::string&, int) { return 0; }
void QtSerialPort::WriteStr(const std::string&) {}
void QtSerialPort::TransmitChar(char) {}
void QtSerialPort::ClearBuffer(bool, bool) {}
void QtSerialPort::Bind(const std::string&, const std::string&) {}
std::string QtSerialPort::DeviceFor(const std::string& n) const { return n; }
void QtSerialPort::SetClock(Clock) {}
}  // namespace platform
