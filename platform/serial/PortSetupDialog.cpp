#include "platform/serial/PortSetupDialog.h"

#include <algorithm>
#include <optional>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QSettings>
#include <QVBoxLayout>

#include "platform/serial/System.h"
#include "platform/widgets/QtWidgets.h"

namespace platform {
namespace {

constexpr int kBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400};

// The last choice, kept between runs: the registry on Windows, ~/.config elsewhere.
// The registry on Windows, ~/.config on Linux; tests choose files of their own.
QSettings Kept() { return QSettings(QSettings::defaultFormat(), QSettings::UserScope, "serbox", "serbox"); }

struct KeptChoice {
    RememberedPort Port;
    LineSettings Line;
};

std::optional<KeptChoice> LoadChoice()
{
    const QSettings kept = Kept();
    if (!kept.contains("port/name"))
        return std::nullopt;
    KeptChoice c;
    c.Port = {kept.value("port/name").toString().toStdString(), kept.value("port/device").toString().toStdString(),
              kept.value("port/text").toString().toStdString(), kept.value("port/stable").toString().toStdString()};
    // A value damaged by hand falls back to what the dialog offers without one.
    const int baud = kept.value("line/baud").toInt(), bits = kept.value("line/dataBits").toInt();
    if (std::find(std::begin(kBaudRates), std::end(kBaudRates), baud) != std::end(kBaudRates))
        c.Line.BaudRate = baud;
    if (bits == 7 || bits == 8)
        c.Line.DataBits = bits;
    c.Line.ParityBits = static_cast<Parity>(kept.value("line/parity", static_cast<int>(Parity::None)).toInt());
    c.Line.ParityCheck = c.Line.ParityBits != Parity::None;
    c.Line.Stop = kept.value("line/stopBits", 1).toInt() == 2 ? StopBits::Two : StopBits::One;
    const QString flow = kept.value("line/flow").toString();
    c.Line.Flow = flow == "none" ? FlowControl::None : flow == "hardware" ? FlowControl::Hardware : c.Line.Flow;
    if (c.Port.Name.empty())
        return std::nullopt;
    return c;
}

void SaveChoice(const RememberedPort& port, const LineSettings& line)
{
    QSettings kept = Kept();
    kept.setValue("port/name", QString::fromStdString(port.Name));
    kept.setValue("port/device", QString::fromStdString(port.Device));
    kept.setValue("port/text", QString::fromStdString(port.Text));
    kept.setValue("port/stable", QString::fromStdString(port.StableName));
    kept.setValue("line/baud", line.BaudRate);
    kept.setValue("line/dataBits", line.DataBits);
    kept.setValue("line/parity", static_cast<int>(line.ParityCheck ? line.ParityBits : Parity::None));
    kept.setValue("line/stopBits", line.Stop == StopBits::Two ? 2 : 1);
    kept.setValue("line/flow", line.Flow == FlowControl::None ? "none" : "hardware");
    kept.sync();
}

}  // namespace

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
    device_->setEditable(true);  // any device path, a pseudo-terminal or a device server's port included
    device_->setInsertPolicy(QComboBox::NoInsert);  // a path typed is not one of the ports found
    device_->setMinimumWidth(320);
    baud_ = new QComboBox;
    baud_->setObjectName("baud");
    for (int b : kBaudRates)
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
    // A raw TCP port carries the bytes only: the settings above never reach its line.
    auto* network = new QLabel;
    network->setObjectName("networkNote");
    network->setWordWrap(true);
    network->hide();
    layout->addWidget(network);
    connect(device_, &QComboBox::currentTextChanged, network, [network](const QString& text) {
        const std::string typed = text.trimmed().toStdString();
        NetworkPortName where;
        const bool raw = ParseNetworkPortName(typed, where).empty() && !where.Rfc2217;
        network->setText(raw ? "Raw TCP: the line's speed, format and flow control are the device server's own; "
                               "the settings above do not reach it."
                             : "");
        network->setVisible(raw);
    });
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
        ShowDevice(it == choice_->Bindings.end() ? std::string() : it->second);
    });
}

// A port present shows as its line of the list; anything else as it was typed.
void PortSetupDialog::ShowDevice(const std::string& device)
{
    const int at = device.empty() ? -1 : device_->findData(QString::fromStdString(device));
    if (at >= 0)
        device_->setCurrentIndex(at);
    else
        device_->setCurrentText(QString::fromStdString(device));
}

std::string PortSetupDialog::ChosenDevice() const
{
    const QString text = device_->currentText().trimmed();
    const int at = device_->findText(text);
    const QString device = at >= 0 ? device_->itemData(at).toString() : QString();
    return (device.isEmpty() ? text : device).toStdString();
}

bool PortSetupDialog::Run(PortSetupChoice& choice, const std::vector<DetectedPort>& detected)
{
    choice_ = &choice;
    detected_ = detected;
    device_->clear();
    QString listing = "Detected serial devices:\n";
    for (const PortLine& line : PortListLines(detected)) {
        device_->addItem(QString::fromStdString(line.Text), QString::fromStdString(line.Device));
        listing += QString::fromStdString("  " + line.Text + "\n");
    }
    if (detected.empty())
        listing += "  none\n";
    // At start-up (no port chosen yet in this run) the last run's choice is
    // offered; a device of it that is gone is said so, and stays in the field.
    std::string shown = choice.Name;
    std::string note;
    if (choice.Name == kStartPortName) {
        shown = ComPortName(1);  // the start name names no port: the first one is offered
        if (const std::optional<KeptChoice> kept = LoadChoice()) {
            shown = kept->Port.Name;
            choice.Line = kept->Line;
            const std::string now =
                RememberedDeviceNow(kept->Port, detected, CheckDevicePath(kept->Port.Device).empty());
            if (now.empty())
                note = NotPluggedInNote(kept->Port);
            if (!kept->Port.Device.empty())
                choice.Bindings[shown] = now.empty() ? kept->Port.Device : now;
        }
    }
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
    status_->setText(note.empty() ? listing : QString::fromStdString(note + "\n\n") + listing);
    name_->setCurrentText(QString::fromStdString(shown));
    auto it = choice.Bindings.find(shown);
    ShowDevice(it == choice.Bindings.end() ? std::string() : it->second);
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
    const std::string device = ChosenDevice();
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
    RememberedPort kept{choice_->Name, device, {}, {}};
    for (const DetectedPort& p : detected_)
        if (p.Device == device) {
            DetectedPort named = p;
            named.InUse = false;  // what it is, not who had it then
            kept.StableName = p.StableName;
            kept.Text = PortListLines({named}).front().Text;
        }
    // Only a port of the menu opens at start-up: any other name is not kept.
    if (ComPortNumber(choice_->Name) != 0)
        SaveChoice(kept, choice_->Line);
    accept();
}

}  // namespace platform
