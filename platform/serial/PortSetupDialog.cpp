#include "platform/serial/PortSetupDialog.h"

#include <algorithm>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/serial/System.h"
#include "platform/widgets/QtWidgets.h"

namespace platform {

PortSetupDialog::PortSetupDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Serial port setup");
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    name_ = new QComboBox;
    name_->setObjectName("port");
    name_->setEditable(true);
    for (int n = 1; n <= kMenuPorts; ++n)
        name_->addItem(QString::fromStdString(ComPortName(n)));
    device_ = new QComboBox;
    device_->setObjectName("device");
    device_->setEditable(true);  // any device path, a pseudo-terminal included
    device_->setMinimumWidth(320);
    baud_ = new QComboBox;
    baud_->setObjectName("baud");
    for (int b : {1200, 2400, 4800, 9600, 19200, 38400})
        baud_->addItem(QString::number(b), b);
    dataBits_ = new QComboBox;
    dataBits_->setObjectName("dataBits");
    for (int b : {7, 8})
        dataBits_->addItem(QString::number(b), b);
    parity_ = new QComboBox;
    parity_->setObjectName("parity");
    parity_->addItem("None", static_cast<int>(Parity::None));
    parity_->addItem("Odd", static_cast<int>(Parity::Odd));
    parity_->addItem("Even", static_cast<int>(Parity::Even));
    stopBits_ = new QComboBox;
    stopBits_->setObjectName("stopBits");
    stopBits_->addItem("1", static_cast<int>(StopBits::One));
    stopBits_->addItem("2", static_cast<int>(StopBits::Two));
    flow_ = new QComboBox;
    flow_->setObjectName("flow");
    flow_->addItem("NONE (hand-helds)", static_cast<int>(FlowControl::None));
    flow_->addItem("HARDWARE RTS/CTS (displays)", static_cast<int>(FlowControl::Hardware));
    form->addRow("Port", name_);
    form->addRow("Device", device_);
    form->addRow("Baud rate", baud_);
    form->addRow("Data bits", dataBits_);
    form->addRow("Parity", parity_);
    form->addRow("Stop bits", stopBits_);
    form->addRow("Flow control", flow_);
    layout->addLayout(form);
    status_ = new QLabel;
    status_->setWordWrap(true);
    layout->addWidget(status_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &PortSetupDialog::Accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    connect(name_, &QComboBox::currentTextChanged, this, [this](const QString& n) {
        if (!choice_)
            return;
        auto it = choice_->Bindings.find(n.toStdString());
        device_->setCurrentText(it == choice_->Bindings.end() ? QString() : QString::fromStdString(it->second));
    });
}

bool PortSetupDialog::Run(PortSetupChoice& choice, const std::vector<DetectedPort>& detected)
{
    choice_ = &choice;
    device_->clear();
    QString listing = "Detected serial devices:\n";
    for (const auto& p : detected) {
        device_->addItem(QString::fromStdString(p.Device));
        listing += QString::fromStdString("  " + p.Device + "  " + p.Description + "  " +
                                          p.Manufacturer + "  " + p.SerialNumber + "\n");
    }
    if (detected.empty())
        listing += "  none\n";
    listing += "\nPorts:\n";
    for (int number = 1; number <= kMenuPorts; ++number) {
        const std::string n = ComPortName(number);
        auto bound = choice.Bindings.find(n);
        listing += QString::fromStdString("  " + n + " = " +
                                          (bound == choice.Bindings.end() ? "(no device)" : bound->second) + "\n");
    }
    for (const auto& [n, dev] : choice.Bindings)
        if (ComPortNumber(n) == 0)
            listing += QString::fromStdString("  " + n + " = " + dev + "\n");
    if (!choice.LastFailure.empty())
        listing += QString::fromStdString("\nLast error: " + choice.LastFailure);
    status_->setText(listing);
    // The start name "COM" names no port: offer the first one, which the
    // defaults bind to a USB adapter when there is one.
    const std::string shown = choice.Name == kStartPortName ? ComPortName(1) : choice.Name;
    name_->setCurrentText(QString::fromStdString(shown));
    auto it = choice.Bindings.find(shown);
    device_->setCurrentText(it == choice.Bindings.end() ? QString() : QString::fromStdString(it->second));
    baud_->setCurrentIndex(baud_->findData(choice.Line.BaudRate));
    dataBits_->setCurrentIndex(std::max(0, dataBits_->findData(choice.Line.DataBits)));
    const Parity parity = choice.Line.ParityCheck ? choice.Line.ParityBits : Parity::None;
    parity_->setCurrentIndex(std::max(0, parity_->findData(static_cast<int>(parity))));
    stopBits_->setCurrentIndex(choice.Line.Stop == StopBits::Two ? 1 : 0);
    flow_->setCurrentIndex(choice.Line.Flow == FlowControl::Hardware ? 1 : 0);
    const bool ok = exec() == QDialog::Accepted;
    choice_ = nullptr;
    NoteModalClosed();
    return ok;
}

void PortSetupDialog::Accept()
{
    const std::string device = device_->currentText().trimmed().toStdString();
    if (!device.empty()) {
        const std::string why = CheckDevicePath(device);
        if (!why.empty()) {
            status_->setText(QString::fromStdString(why));
            return;  // stays open: the user corrects it or cancels
        }
    }
    choice_->Name = name_->currentText().trimmed().toStdString();
    if (!device.empty())
        choice_->Bindings[choice_->Name] = device;
    choice_->Line.BaudRate = baud_->currentData().toInt();
    choice_->Line.DataBits = dataBits_->currentData().toInt();
    choice_->Line.ParityBits = static_cast<Parity>(parity_->currentData().toInt());
    choice_->Line.ParityCheck = choice_->Line.ParityBits != Parity::None;
    choice_->Line.Stop = static_cast<StopBits>(stopBits_->currentData().toInt());
    choice_->Line.Flow = static_cast<FlowControl>(flow_->currentData().toInt());
    accept();
}

}  // namespace platform
