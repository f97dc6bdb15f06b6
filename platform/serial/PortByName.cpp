// The port each open asks for, chosen by the name: a device server's to the
// network port, any other to the cable's.

#include <utility>

#include "platform/serial/NetworkTransport.h"
#include "platform/serial/PortNames.h"

namespace platform {
namespace {

// Routes each open by the name: the network's names to the network port.
class PortByName final : public SerialTransport {
public:
    PortByName(std::unique_ptr<SerialTransport> cable, std::unique_ptr<SerialTransport> network)
        : cable_(std::move(cable)), network_(std::move(network)), active_(cable_.get())
    {
        for (SerialTransport* port : {cable_.get(), network_.get()}) {
            port->OnReadyRead = [this] {
                if (OnReadyRead)
                    OnReadyRead();
            };
            port->OnLost = [this](const std::string& why) {
                if (OnLost)
                    OnLost(why);
            };
            port->OnWaiting = [this](const std::string& what) {
                if (OnWaiting)
                    OnWaiting(what);
            };
            port->OnNote = [this](const std::string& what) {
                if (OnNote)
                    OnNote(what);
            };
        }
    }

    int Open(const std::string& device, const LineSettings& line, bool dtr, bool rts) override
    {
        SerialTransport* chosen = IsNetworkPortName(device) ? network_.get() : cable_.get();
        if (chosen != active_)
            active_->Close();
        active_ = chosen;
        return active_->Open(device, line, dtr, rts);
    }
    void Close() override { active_->Close(); }
    bool IsOpen() const override { return active_->IsOpen(); }
    void SetBaudRate(int baud) override { active_->SetBaudRate(baud); }
    void SetDataBits(int bits) override { active_->SetDataBits(bits); }
    void SetStopBits(StopBits stop) override { active_->SetStopBits(stop); }
    void SetParity(Parity parity) override { active_->SetParity(parity); }
    void SetFlowControl(FlowControl flow) override { active_->SetFlowControl(flow); }
    void SetDTR(bool on) override { active_->SetDTR(on); }
    void SetRTS(bool on) override { active_->SetRTS(on); }
    void Settle() override { active_->Settle(); }
    int64_t BytesAvailable() const override { return active_->BytesAvailable(); }
    int64_t Read(char* data, int64_t max) override { return active_->Read(data, max); }
    bool TakeMore() override { return active_->TakeMore(); }
    void Write(const char* data, int64_t size) override { active_->Write(data, size); }
    bool OutputPending() override { return active_->OutputPending(); }
    void Clear(bool input, bool output) override { active_->Clear(input, output); }
    bool LineHolds() override { return active_->LineHolds(); }
    LineErrors LineErrorsSeen() override { return active_->LineErrorsSeen(); }
    std::string TakeFailure() override { return active_->TakeFailure(); }

private:
    std::unique_ptr<SerialTransport> cable_, network_;
    SerialTransport* active_;
};

}  // namespace

std::unique_ptr<SerialTransport> WithNetworkPorts(std::unique_ptr<SerialTransport> cable,
                                                  std::unique_ptr<SerialTransport> network)
{
    return std::make_unique<PortByName>(std::move(cable), std::move(network));
}

}  // namespace platform
