#pragma once
// The serial component's setup dialog: choose the port name, the device it stands
// for, and the line settings. It hands back plain values; the component applies them.

#include <QDialog>
#include <map>
#include <string>
#include <vector>

#include "platform/serial/PortNames.h"
#include "platform/serial/SerialPort.h"

class QComboBox;
class QLabel;

namespace platform {

struct PortSetupChoice {
    std::string Name;                               // "COM1".."COM4", or as typed
    LineSettings Line;
    std::map<std::string, std::string> Bindings;    // name -> device
    std::string LastFailure;                        // shown to explain the last error
};

class PortSetupDialog : public QDialog {
    Q_OBJECT
public:
    explicit PortSetupDialog(QWidget* parent = nullptr);
    // Modal; true on OK with a usable device (choice is updated then, and kept for
    // the next run's start-up, whose choice it offers).
    bool Run(PortSetupChoice& choice, const std::vector<DetectedPort>& detected);

private:
    void Accept();
    void ShowDevice(const std::string& device);
    std::string ChosenDevice() const;
    std::vector<DetectedPort> detected_;
    QComboBox* name_;
    QComboBox* device_;
    QComboBox* baud_;
    QComboBox* dataBits_;
    QComboBox* parity_;
    QComboBox* stopBits_;
    QComboBox* flow_;
    QLabel* status_;
    PortSetupChoice* choice_ = nullptr;
};

}  // namespace platform
