#include "gateway/DriveThread.h"

#include "gateway/EngineClock.h"
#include "gateway/GateWay.h"
#include "platform/sync/ThreadSync.h"

#include <QtGlobal>
#include <algorithm>
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
    if (threadsync::isMainThread())
        threadsync::serveUntil([this] { return finished_.load(); });
    thread_.join();
}

void TDriveThread::Execute()
{
    engineclock::StopScope scope(stopFlag_);
    // A failing tick or step must not end the engine.
    auto guarded = [](int slot, const auto &call) {
        try {
            call();
        } catch (const std::exception &e) {
            qWarning("Channel %d tick failed: %s", slot, e.what());
        } catch (...) {
            qWarning("Channel %d tick failed", slot);
        }
    };
    auto nextTick = engineclock::Clock::now();
    while (!stopFlag_.load()) {
        // Taken first: a kick while the channels are served brings another round at once.
        const std::uint64_t seen = engineclock::kicks();
        const bool tick = engineclock::Clock::now() >= nextTick;
        auto wake = engineclock::Clock::time_point::max();
        for (int slot = 1; slot <= 2 && gateway_; ++slot) {
            TSMSChannel *channel = gateway_->Channels[slot].get();
            if (!channel || engineclock::stopRequested())
                continue;
            if (tick)
                guarded(slot, [&] { channel->Drive(); });
            guarded(slot, [&] { channel->Serve(); });
            if (const auto due = channel->NextStep())
                wake = std::min(wake, *due);
        }
        if (tick)
            nextTick = engineclock::Clock::now() + engineclock::scaled(engineclock::kTickMs);
        engineclock::sleepUntil(std::min(nextTick, wake), seen);
    }
    finished_.store(true);
    threadsync::wake();
}
