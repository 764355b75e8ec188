#pragma once

#include "gateway/Channel.h"
#include "gateway/CmppServer.h"

#include <array>
#include <atomic>
#include <memory>
#include <string>

// The root of the engine: its id, its channels, the TCP command server and
// the closing flag that the desk's shut-down raises. Created and initialised
// once on the main thread before the drive thread starts.
class TGateWay {
public:
    TGateWay();
    ~TGateWay();
    TGateWay(const TGateWay &) = delete;
    TGateWay &operator=(const TGateWay &) = delete;

    std::string Name;
    // Channels by number, slots 1 to 8 (slot 0 is never used); only slot 1
    // is made. Fixed once Init has returned.
    std::array<std::unique_ptr<TSMSChannel>, 9> Channels;
    // The command server; made by Init, listening unless its port was
    // taken. Main thread only.
    std::unique_ptr<TCMPPSet> CMPPSet;
    // Set by the shut-down, never cleared: no new exchange starts and the
    // device search stops. Any thread.
    std::atomic<bool> Closing{false};

    // Main thread: Closing := false, Name := name, channel 1 made and
    // opened (its port state reported), then the command server made and
    // listening (a port that cannot be opened is reported in the log pane;
    // the gateway works on without the server).
    void Init(const std::string &name);
};
