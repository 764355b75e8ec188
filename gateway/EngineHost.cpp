#include "gateway/EngineHost.h"

#include "gateway/DriveThread.h"
#include "gateway/EngineReports.h"
#include "gateway/QueueFiles.h"
#include "platform/text/Profile.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QString>

TEngineHost *EngineHost = nullptr;
TGateWay *Gateway = nullptr;
TDriveThread *DriveThread = nullptr;

namespace {

constexpr const char *kIniFile = "smsset.ini";
constexpr const char *kDefaultSca = "+8613800100500";

// The centre number in national form: a leading "+86" and whatever follows
// the 13th character after it go.
std::string withoutPlus86(const std::string &sca)
{
    const QString s = QString::fromStdString(sca);
    if (!s.startsWith(QStringLiteral("+86")))
        return sca;
    return s.mid(3, 13).toStdString();
}

} // namespace

TEngineHost::TEngineHost() : context_(std::make_unique<QObject>()) {}

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
    drive_ = std::make_unique<TDriveThread>(gateway_.get());
    DriveThread = drive_.get();
    drive_->Start();
}

void TEngineHost::ReadServiceCentre()
{
    SetFSCA(withoutPlus86(profile::getString("COMMON", "SCA", kDefaultSca, kIniFile)));
}

std::vector<std::string> TEngineHost::LoadQueues()
{
    TSMSChannel *channel = Channel1();
    if (!channel || queuesLoaded_)
        return {};
    queuesLoaded_ = true;
    return queuefiles::load(*channel);
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

void TEngineHost::StoreServiceCentre(const std::string &value)
{
    // The file keeps a typed "+86".
    profile::writeString("COMMON", "SCA", value, kIniFile);
    SetFSCA(withoutPlus86(value));
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
    if (!gateway_ || !gateway_->CMPPSet || !gateway_->CMPPSet->EasyLinkCtr)
        return false;
    gateway_->CMPPSet->EasyLinkCtr->SendSMS(FSCA(), number, text);
    return true;
}

void TEngineHost::QueuesChanged()
{
    // After Stop the channel is gone; before it the drive thread has ended.
    if (!context_ || savePending_.exchange(true))
        return;
    auto save = [this] {
        savePending_.store(false);
        SaveQueues();
    };
    // Always through the event loop, also on the main thread: a burst of
    // changes (a reload, a split message) then costs one save.
    if (QCoreApplication::instance())
        QMetaObject::invokeMethod(context_.get(), save, Qt::QueuedConnection);
    else
        save();
}

void TEngineHost::SaveQueues()
{
    TSMSChannel *channel = Channel1();
    if (!queuesLoaded_ || !channel)
        return;
    const std::vector<std::string> failed = queuefiles::save(*channel);
    // Said once when writing starts to fail, not on every change after.
    if (!failed.empty() && !saveFailed_) {
        std::string names;
        for (const std::string &name : failed)
            names += (names.empty() ? "" : ",") + name;
        engine::logLine("队列文件写入失败:" + names);
    }
    saveFailed_ = !failed.empty();
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
    SaveQueues();
    // A save still queued would find the channel gone.
    context_.reset();
    if (DriveThread == drive_.get())
        DriveThread = nullptr;
    drive_.reset();
    if (Gateway == gateway_.get())
        Gateway = nullptr;
    gateway_.reset();
}

TSMSChannel *TEngineHost::Channel1() const { return gateway_ ? gateway_->Channels[1].get() : nullptr; }
