#pragma once

// Channel 1's state as tests and benchmarks wait for it; each takes the
// engine lock. Header-only: only programs that link the engine include it.

#include "gateway/Channel.h"
#include "gateway/EngineGlobals.h"

inline int receivedCount(TSMSChannel &channel)
{
    EngineLock lock;
    return static_cast<int>(channel.RecvList.size());
}

// Initialised, the sweep of the storages and every read done, no notice
// waiting and nothing running.
inline bool settled(TSMSChannel &channel)
{
    EngineLock lock;
    const TChannelCtr &ctr = *channel.ChannelCtr;
    return ctr.Ready == 1 && ctr.ReadQueue.empty() && ctr.SweepQueue.empty() && ctr.Notices.empty() &&
           ctr.Current == nullptr;
}
