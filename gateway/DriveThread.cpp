#include "gateway/DriveThread.h"

#include "gateway/EngineClock.h"
#include "gateway/GateWay.h"
#include "platform/comm/CommSync.h"

#include <QtGlobal>
#include <exception>

TDriveThread::TDriveThread(TGateWay *gateway) : Gateway(gateway) {}

TDriveThread::~TDriveThread()
{
    RequestStop();
    Join();
}

void TDriveThread::Start()
{
    if (Thread.joinable())
        return;
    Finished.store(false);
    Thread = std::thread([this] { Execute(); });
}

void TDriveThread::RequestStop() { engineclock::requestStop(StopFlag); }

void TDriveThread::Join()
{
    if (!Thread.joinable())
        return;
    if (commsync::isMainThread())
        commsync::serveUntil([this] { return Finished.load(); });
    Thread.join();
}

void TDriveThread::Execute()
{
    engineclock::StopScope scope(StopFlag);
    while (!StopFlag.load()) {
        if (Gateway) {
            for (int slot = 1; slot <= 2; ++slot) {
                TSMSChannel *channel = Gateway->Channels[slot].get();
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
    Finished.store(true);
    commsync::wake();
}
