#pragma once
// The serial port component behind the SerialPort interface, on Qt's event loop;
// the port itself is the system's (SerialTransport.h).

#include <QObject>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/serial/SerialPort.h"

class QWidget;

namespace platform {

class SerialTransport;

class SerialComponent : public QObject, public SerialPort {
    Q_OBJECT
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    explicit SerialComponent(QWidget* dialogParent = nullptr);
    // On a port of the caller's (tests: a model of a real line).
    SerialComponent(QWidget* dialogParent, std::unique_ptr<SerialTransport> transport);
    ~SerialComponent() override;

    void SetPort(const std::string& name) override;
    std::string Port() const override;
    void Open() override;
    void Close() override;
    bool Connected() const override;
    void SetBaudRate(int baud) override;
    void SetDataBits(int bits) override;
    void SetStopBits(StopBits stop) override;
    void SetParityCheck(bool on) override;
    // The setup dialog's choice, for a caller that has none (serbox-cli's --flow).
    void SetFlowControl(FlowControl flow);
    void SetDtrControl(DtrControl control) override;
    void SetDTR(bool on) override;
    void SetRTS(bool on) override;
    LineSettings Settings() const override;
    void ShowSetupDialog() override;
    int ReadStr(std::string& s, int count) override;
    void WriteStr(const std::string& s) override;
    void TransmitChar(char c) override;
    void ClearBuffer(bool input, bool output) override;
    LineErrors LineErrorsSeen() override;

    // The device a port name ("COM1".."COM4", or anything typed) stands for.
    void Bind(const std::string& name, const std::string& device);
    std::string DeviceFor(const std::string& name) const;

    // The component's own failures that no handler catches (a device that
    // vanished while open) are told here, once each.
    std::function<void(const std::string& message)> OnError;

    // Open waits on something slow: what (the transport's words), then empty.
    std::function<void(const std::string& what)> OnWaiting;
    // What the port ignored of the settings, once after an open that goes ahead.
    std::function<void(const std::string& what)> OnNote;

    // Why the last open failed, or the device was lost; empty after a good open.
    std::string LastFailure() const;

    // Tests replace the clock of the output-empty emulation.
    void SetClock(Clock clock);

private:
    void CheckLineErrors();
    void StartHold(std::chrono::steady_clock::time_point now);
    void EndHold();
    void TellRefusal();
    void Tell(const std::string& message);
    struct Impl;
    Impl* d_;
};

}  // namespace platform
