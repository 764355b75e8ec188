#include "gateway/EngineHost.h"

#include "gateway/DriveThread.h"
#include "gateway/EngineReports.h"
#include "gateway/QueueFiles.h"
#include "platform/text/Profile.h"

TEngineHost *EngineHost = nullptr;
TGateWay *Gateway = nullptr;
TDriveThread *DriveThread = nullptr;

namespace {

constexpr const char *kIniFile = "smsset.ini";
constexpr const char *kDefaultSca = "+8613800100500";

// The centre number in national form: a leading "+86" goes.
std::string withoutPlus86(const std::string &sca) { return sca.starts_with("+86") ? sca.substr(3) : sca; }

} // namespace

TEngineHost::TEngineHost() = default;

TEngineHost::~TEngineHost() { Stop(); }

std::vector<std::string> TEngineHost::Start()
{
    StartEngine();
    ReadServiceCentre();
    return LoadQueues();
}

void TEngineHost::StartEngine()
{
    if (gateway_ || stopped_)
        return;
    gateway_ = std::make_unique<TGateWay>();
    gateway_->Host = this;
    Gateway = gateway_.get();
    gateway_->Init("GW01");
    store_ = std::make_unique<TQueueStore>(*Channel1());
    drive_ = std::make_unique<TDriveThread>(gateway_.get());
    DriveThread = drive_.get();
    drive_->Start();
}

void TEngineHost::ReadServiceCentre()
{
    const std::string value = profile::getString("COMMON", "SCA", kDefaultSca, kIniFile);
    const std::string fault = TEasyLinkCtr::NumberFault("中心号码", value);
    if (!fault.empty())
        engine::logLine(std::string(kIniFile) + "的" + fault + ":" + value + "，改用" + kDefaultSca);
    SetFSCA(withoutPlus86(fault.empty() ? value : kDefaultSca));
}

std::vector<std::string> TEngineHost::LoadQueues()
{
    TSMSChannel *channel = Channel1();
    if (!channel || !store_ || queuesLoaded_)
        return {};
    queuesLoaded_ = true;
    return store_->Load();
}

std::string TEngineHost::FSCA() const
{
    std::lock_guard lock(scaGuard_);
    return sca_;
}

void TEngineHost::SetFSCA(const std::string &value)
{
    std::lock_guard lock(scaGuard_);
    sca_ = value;
}

std::string TEngineHost::StoreServiceCentre(const std::string &value)
{
    std::string fault = TEasyLinkCtr::NumberFault("中心号码", value);
    if (!fault.empty())
        return fault;
    // The file keeps a typed "+86".
    profile::writeString("COMMON", "SCA", value, kIniFile);
    SetFSCA(withoutPlus86(value));
    return {};
}

std::string TEngineHost::PortName() const
{
    if (TSMSChannel *channel = Channel1())
        return channel->DeviceName();
    return profile::getString("CH1", "COMPORT", "COM1", kIniFile);
}

void TEngineHost::StorePortName(const std::string &name)
{
    profile::writeString("CH1", "COMPORT", name, kIniFile);
    if (TSMSChannel *channel = Channel1())
        channel->SetDeviceName(name);
}

bool TEngineHost::Send(const std::string &number, const std::string &text)
{
    TEasyLinkCtr *link = EasyLink();
    return link && link->SendSMS(FSCA(), number, text);
}

TEngineHost::THandOver TEngineHost::HandOver(const std::vector<std::string> &row, const std::string &number,
                                             const std::string &text)
{
    TEasyLinkCtr *link = EasyLink();
    if (!link || !store_)
        return THandOver::NotKept;
    store_->BeginHandOver(row);
    const bool queued = link->SendSMS(FSCA(), number, text);
    const bool kept = store_->EndHandOver();
    if (!queued)
        return THandOver::Refused;
    return kept ? THandOver::Queued : THandOver::NotKept;
}

void TEngineHost::HandOverMarked(const std::vector<std::string> &row)
{
    if (store_)
        store_->HandOverMarked(row);
}

std::vector<std::vector<std::string>> TEngineHost::TakeUnmarkedHandOvers()
{
    return store_ ? store_->TakeUnmarked() : std::vector<std::vector<std::string>>{};
}

void TEngineHost::QueuesChanged()
{
    if (store_)
        store_->Changed();
}

void TEngineHost::SendQueued(const std::vector<std::string> &lines)
{
    if (!store_ || store_->Appended(lines) || !store_->HandingOver())
        return;
    // A hand-over that could not be kept is not taken at all: the desk's row
    // goes again later. The engine lock is still held, so no tick has seen
    // these messages.
    if (TSMSChannel *channel = Channel1())
        for (std::size_t i = 0; i < lines.size() && !channel->SendQueue.empty(); ++i)
            channel->SendQueue.pop_back();
}

bool TEngineHost::ReceivedQueued(const std::string &line) { return store_ && store_->Received(line); }

bool TEngineHost::ReceivedKept(const std::string &line) const { return store_ && store_->Holds(line); }

void TEngineHost::SaveQueues()
{
    if (store_ && queuesLoaded_)
        store_->Save();
}

void TEngineHost::Stop()
{
    if (stopped_)
        return;
    stopped_ = true;
    if (drive_) {
        drive_->RequestStop();
        drive_->Join();
    }
    if (store_) {
        unsaved_ = store_->Close();
        // It refers to channel 1.
        store_.reset();
    }
    if (DriveThread == drive_.get())
        DriveThread = nullptr;
    drive_.reset();
    if (Gateway == gateway_.get())
        Gateway = nullptr;
    gateway_.reset();
}

TSMSChannel *TEngineHost::Channel1() const { return gateway_ ? gateway_->Channels[1].get() : nullptr; }

TEasyLinkCtr *TEngineHost::EasyLink() const
{
    return gateway_ && gateway_->CMPPSet ? gateway_->CMPPSet->EasyLinkCtr.get() : nullptr;
}
