// The channel: port set-up and the port access rules shared by both threads.

#include "gateway/Channel.h"

#include "gateway/Controllers.h"
#include "gateway/EngineClock.h"
#include "gateway/EngineGlobals.h"
#include "gateway/EngineReports.h"
#include "gateway/GateWay.h"
#include "platform/text/Profile.h"

TSMSChannel::TSMSChannel() = default;

TSMSChannel::~TSMSChannel()
{
    // The port goes first: closing it may still deliver, and a delivery
    // must not reach a half-destroyed channel.
    if (Comm) {
        Comm->setOnData({});
        Comm.reset();
    }
}

void TSMSChannel::Open()
{
    EngineLock lock;
    RecvList.clear();
    SendQueue.clear();
    ChannelCtr = std::make_unique<TChannelCtr>();
    ChannelCtr->Channel = this;
    ChannelCtr->Init();

    Comm = std::make_unique<TXComm>();
    TChannelCtr *ctr = ChannelCtr.get();
    Comm->setOnData([ctr](TCustomComm *sender, std::uint32_t received) { ctr->CommData(sender, received); });
    Comm->setBaudRate(br57600);
    const std::string n = std::to_string(Number);
    portName_ = profile::getString("CH" + n, "COMPORT", "COM" + n, "smsset.ini");
    Comm->setDeviceName(portName_);
    Comm->setFlowControl(fcCustom);
    Comm->setDTRSettings({fsDTREnabled});
    TCommTimeoutsEx *t = Comm->Timeouts();
    t->setWriteConstant(20);
    t->setWriteMultiplier(20);
    t->setReadInterval(100);
    t->setReadConstant(20);
    t->setReadMultiplier(20);
    try {
        if (Comm->Opened())
            Comm->CloseDevice();
        Comm->OpenDevice();
    } catch (const EDeviceError &e) {
        // The state panel says it; the operator sets another port.
        OpenFailed(e);
    }
    engine::portState(portName_ + (Comm->Opened() ? "打开成功" : "打开失败,请重新设置串口"));
}

void TSMSChannel::OpenFailed(const EDeviceError &e)
{
    const std::string line = Comm->DeviceName() + "打开失败,请重新设置串口：" + deviceErrorText(e);
    // The search tries again every few seconds: each reason is said once.
    if (line == openFailure_)
        return;
    openFailure_ = line;
    engine::logLine(line);
}

void TSMSChannel::Drive() { ChannelCtr->Drive(); }

void TSMSChannel::Serve() { ChannelCtr->Serve(); }

std::optional<std::chrono::steady_clock::time_point> TSMSChannel::NextStep() const
{
    EngineLock lock;
    return ChannelCtr ? ChannelCtr->StepDue() : std::nullopt;
}

bool TSMSChannel::IsIdle() const
{
    EngineLock lock;
    return !ChannelCtr || ChannelCtr->Current == nullptr;
}

void TSMSChannel::QueueSend(std::unique_ptr<TPDUSend> pdu)
{
    EngineLock lock;
    SendQueue.push_back(std::move(pdu));
    QueuesChanged();
}

void TSMSChannel::AddReceived(std::unique_ptr<TPDUGet> pdu)
{
    EngineLock lock;
    const std::string line = pdu->Text;
    RecvList.push_back(std::move(pdu));
    if (Owner)
        Owner->ReceivedQueued(line);
    QueuesChanged();
}

bool TSMSChannel::ReceivedKept(const std::string &line) const { return !Owner || Owner->ReceivedKept(line); }

std::string TSMSChannel::DeviceName() const
{
    EngineLock lock;
    return portName_;
}

void TSMSChannel::SetDeviceName(const std::string &name)
{
    EngineLock lock;
    portName_ = name;
    // While the search reopens the port it applies portName_ itself.
    if (Comm && !PortBusy)
        Comm->setDeviceName(name);
}

std::string TSMSChannel::ServiceCentre() const { return Owner ? Owner->ServiceCentre() : std::string(); }

void TSMSChannel::QueuesChanged()
{
    if (Owner)
        Owner->QueuesChanged();
}

bool TSMSChannel::IsClosing() const { return Owner && Owner->Closing.load(); }

bool TSMSChannel::WritePort(const std::string &bytes)
{
    if (PortBusy || !Comm)
        return false;
    try {
        Comm->SendString(bytes);
        return true;
    } catch (const EDeviceError &) {
        return false;
    }
}

void TSMSChannel::CancelPrompt() { WritePort(std::string(1, kEscape)); }

bool TSMSChannel::PortFailed() const
{
    return !PortBusy && Comm && Comm->Opened() && Comm->EventThread() && Comm->EventThread()->Finished();
}

bool TSMSChannel::InputWaiting() const
{
    if (PortBusy || !Comm || !Comm->Opened())
        return false;
    try {
        return Comm->QueueCount(0) > 0;
    } catch (const EDeviceError &) {
        return false;
    }
}

void TSMSChannel::Monitor(const std::string &text) { engine::monitorText(Number, text); }

void TSMSChannel::TryRate(TBaudRate rate)
{
    PortBusy = true;
    const std::string name = portName_;
    {
        EngineUnlock unlock;
        try {
            if (Comm->Opened())
                Comm->CloseDevice();
        } catch (const EDeviceError &) {
        }
        engineclock::sleep(400);
        Comm->setDTRSettings({fsDTREnabled});
        Comm->setBaudRate(rate);
        Comm->setDeviceName(name);
        try {
            Comm->OpenDevice();
        } catch (const EDeviceError &e) {
            // Tried again with the next rate; a device that went away is
            // picked up when it comes back.
            EngineLock lock;
            OpenFailed(e);
        }
    }
    PortBusy = false;
    if (Comm->Opened())
        openFailure_.clear();
    // A program that went away in the middle of a send leaves the modem at
    // its prompt, where every command is taken as PDU text.
    CancelPrompt();
    {
        EngineUnlock unlock;
        engineclock::sleep(1000);
    }
    WritePort("AT\r");
}
