#pragma once

#include "gateway/Channel.h"
#include "gateway/CmppServer.h"

#include <array>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

// What the engine asks of the object that runs it (TEngineHost; tests may
// stand in). Both are called on either thread, the engine lock held or not:
// they must return promptly and must not take the engine lock or wait for
// another thread.
class IEngineHost {
public:
    virtual ~IEngineHost() = default;
    // The service-centre number in use (FSCA), national form: the centre of
    // a send that names none, of the send log line and of the retry after
    // an "ERROR" to the PDU.
    virtual std::string ServiceCentre() const = 0;
    // A channel's SendQueue or RecvList has changed; called after every
    // change, so it must be cheap.
    virtual void QueuesChanged() = 0;
    // The exception to the rules above: the send path, on the main thread
    // with the engine lock held, has just queued messages on channel 1
    // whose hex texts are lines; returns once they are kept on disk (or
    // keeping them failed and was reported). A host may take them off the
    // queue's tail again (a hand-over that must be all or nothing). Nothing
    // by default.
    virtual void SendQueued(const std::vector<std::string> &) {}
    // The read controller, on the main thread with the engine lock held,
    // has just appended a received message whose hex text is line to
    // channel 1's RecvList: returns once it is kept on disk, false when
    // keeping it failed (and was reported). ReceivedKept: whether it is on
    // disk now. A host without files keeps nothing: true by default.
    virtual bool ReceivedQueued(const std::string &) { return true; }
    virtual bool ReceivedKept(const std::string &) const { return true; }
};

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
    // What the engine reads from and tells its owner; set before Init and
    // fixed afterwards. Null: no centre number and nothing persisted.
    IEngineHost *Host = nullptr;

    // Main thread: Closing := false, Name := name, channel 1 made and
    // opened (its port state reported), then the command server made and
    // listening (a port that cannot be opened is reported in the log pane;
    // the gateway works on without the server).
    void Init(const std::string &name);

    // Host's answers; "" and nothing without a host. Any thread (but
    // SendQueued as IEngineHost says).
    std::string ServiceCentre() const;
    void QueuesChanged();
    void SendQueued(const std::vector<std::string> &lines);
    bool ReceivedQueued(const std::string &line);
    bool ReceivedKept(const std::string &line) const;
};
