// The serial component's port on Qt Serial Port (Linux).
#include <QSerialPort>
#include <cerrno>

#include "platform/serial/System.h"
#include "platform/serial/SerialTransport.h"

namespace platform {
namespace {

class QtTransport : public SerialTransport {
public:
    QtTransport()
    {
        port_.setReadBufferSize(kSerialReadBuffer);
        QObject::connect(&port_, &QSerialPort::readyRead, [this] {
            if (OnReadyRead)
                OnReadyRead();
        });
        QObject::connect(&port_, &QSerialPort::errorOccurred, [this](QSerialPort::SerialPortError e) {
            if (e == QSerialPort::NoError || !port_.isOpen())
                return;
            if (e != QSerialPort::ResourceError && e != QSerialPort::ReadError && e != QSerialPort::WriteError)
                return;
            if (OnLost)
                OnLost(port_.errorString().toStdString());
        });
    }
    ~QtTransport() override { port_.close(); }

    int Open(const std::string& device) override
    {
        port_.setPortName(QString::fromStdString(device));
        if (port_.open(QIODevice::ReadWrite))
            return 0;
        int err = EIO;
        switch (port_.error()) {
        case QSerialPort::DeviceNotFoundError: err = ENOENT; break;
        case QSerialPort::PermissionError: err = EACCES; break;
        case QSerialPort::OpenError: err = EBUSY; break;
        default: break;
        }
        port_.clearError();
        return err;
    }
    void Close() override
    {
        port_.close();
        port_.clearError();
    }
    bool IsOpen() const override { return port_.isOpen(); }

    void SetBaudRate(int baud) override { port_.setBaudRate(baud); }
    void SetDataBits(int bits) override { port_.setDataBits(static_cast<QSerialPort::DataBits>(bits)); }
    void SetStopBits(StopBits stop) override
    {
        port_.setStopBits(stop == StopBits::Two            ? QSerialPort::TwoStop
                          : stop == StopBits::OnePointFive ? QSerialPort::OneAndHalfStop
                                                           : QSerialPort::OneStop);
    }
    void SetParity(Parity p) override
    {
        port_.setParity(p == Parity::Odd     ? QSerialPort::OddParity
                        : p == Parity::Even  ? QSerialPort::EvenParity
                        : p == Parity::Mark  ? QSerialPort::MarkParity
                        : p == Parity::Space ? QSerialPort::SpaceParity
                                             : QSerialPort::NoParity);
    }
    void SetFlowControl(FlowControl flow) override
    {
        flow_ = flow;
        port_.setFlowControl(flow == FlowControl::Hardware   ? QSerialPort::HardwareControl
                             : flow == FlowControl::Software ? QSerialPort::SoftwareControl
                                                             : QSerialPort::NoFlowControl);
    }
    // A pseudo-terminal has no modem lines ("Inappropriate ioctl for device"): the
    // port works all the same, and the error Qt leaves set must not linger.
    void SetDTR(bool on) override
    {
        if (!port_.setDataTerminalReady(on))
            port_.clearError();
    }
    void SetRTS(bool on) override
    {
        if (DrivesRts(flow_) && !port_.setRequestToSend(on))
            port_.clearError();
    }
    void Settle() override { port_.clearError(); }

    int64_t BytesAvailable() const override { return port_.bytesAvailable(); }
    int64_t Read(char* data, int64_t max) override { return port_.read(data, max); }
    bool TakeMore() override
    {
        if (port_.waitForReadyRead(0))
            return true;
        if (port_.isOpen() && port_.error() == QSerialPort::TimeoutError)
            port_.clearError();  // nothing more had come: no fault
        return false;
    }
    void Write(const char* data, int64_t size) override { port_.write(data, size); }
    bool OutputPending() override
    {
        return port_.isOpen() && (port_.bytesToWrite() > 0 || DriverOutputQueued(port_.handle()) > 0);
    }
    void Clear(bool input, bool output) override
    {
        QSerialPort::Directions dirs;
        if (input)
            dirs |= QSerialPort::Input;
        if (output)
            dirs |= QSerialPort::Output;
        port_.clear(dirs);
    }

private:
    QSerialPort port_;
    FlowControl flow_ = FlowControl::None;  // as a new QSerialPort has it
};

}  // namespace

std::unique_ptr<SerialTransport> MakeSerialTransport() { return std::make_unique<QtTransport>(); }

}  // namespace platform
