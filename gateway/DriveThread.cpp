#include "gateway/DriveThread.h"

#include "gateway/EngineClock.h"
#include "gateway/GateWay.h"
#include "platform/comm/CommSync.h"

#include <QtGlobal>
#include <exception>

TDriveThread::TDriveThread(TGateWay *gateway) : gateway_(gateway) {}

TDriveThread::~TDriveThread()
{
    RequestStop();
    Join();
}

void TDriveThread::Start()
{
    if (thread_.joinable())
        return;
    finished_.store(false);
    thread_ = std::thread([this] { Execute(); });
}

void TDriveThread::RequestStop() { engineclock::requestStop(stopFlag_); }

void TDriveThread::Join()
{
    if (!thread_.joinable())
        return;
    if (commsync::isMainThread())
        commsync::serveUntil([this] { return finished_.load(); });
    thread_.join();
}

void TDriveThread::Execute()
{
    engineclock::StopScope scope(stopFlag_);
    while (!stopFlag_.load()) {
        if (gateway_) {
            for (int slot = 1; slot <= 2; ++slot) {
                TSMSChannel *channel = gateway_->Channels[slot].get();
                if (!channel || engineclock::stopRequested())
                    continue;
                try {
                    channel->Drive();
                } catch (const std::exception &e) {
                    // A failing tick must not end the engine.
                    qWarning("Channel %d tick failed: %s", slot, e.what());
                } catch (...) {
                    qWarning("Channel %d tick failed", slot);
                }
            }
        }
        engineclock::sleep(engineclock::kTickMs);
    }
    finished_.store(true);
    commsync::wake();
}
