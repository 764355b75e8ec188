#pragma once

// The device-independent half of a comm-layer port: the input queue, the
// pending reads and writes with their time limits, and the event wait. The
// device half (CommPosix.cpp) feeds it received bytes and drains its writes.
// Every member runs with m_ held unless it takes m_ itself (the public calls).

#include "platform/comm/CommObjects.h"

#include <chrono>
#include <deque>
#include <mutex>
#include <optional>

namespace comm::detail {

using Clock = std::chrono::steady_clock;
constexpr auto kNever = Clock::time_point::max();

inline Clock::time_point after(Clock::time_point from, unsigned long long ms)
{
    return from + std::chrono::milliseconds(ms);
}

// One overlapped read or write queued on a port.
struct Transfer {
    OVERLAPPED *ov = nullptr;
    std::shared_ptr<Event> event;
    BYTE *in = nullptr;
    const BYTE *out = nullptr;
    DWORD want = 0;
    DWORD done = 0;
    bool started = false; // its clock runs once it heads the queue
    Clock::time_point deadline = kNever;
    Clock::time_point lastByte; // for the read interval limit
};

struct EventWait {
    OVERLAPPED *ov;
    std::shared_ptr<Event> event;
    DWORD *mask;
};

class PortQueues : public KernelObject {
public:
    bool setup(DWORD inQueue, DWORD outQueue);
    bool getTimeouts(COMMTIMEOUTS *t);
    bool setTimeouts(const COMMTIMEOUTS &t);
    bool properties(COMMPROP *prop);
    bool read(BYTE *buffer, DWORD count, DWORD *got, OVERLAPPED *ov, std::shared_ptr<Event> event);
    bool setMask(DWORD mask);
    bool waitEvent(DWORD *mask, OVERLAPPED *ov, std::shared_ptr<Event> event);

protected:
    // Makes the device half look again at its queues and time limits.
    virtual void wakeDriver() = 0;

    // Milliseconds until the nearest time limit, -1 for none.
    int pollTimeout(Clock::time_point now) const;
    // Ends transfers whose time limit has passed.
    void expire(Clock::time_point now);
    // Appends received bytes; returns EV_RXCHAR, with EV_RXFLAG when the event char is among them.
    DWORD accept(const BYTE *bytes, std::size_t count);
    // After a batch of accept(): serves pending reads and raises the events.
    void received(std::size_t queuedBefore, DWORD events);
    // Queues the rest of a write that the device did not take at once.
    void queueWrite(const BYTE *buffer, DWORD count, DWORD done, OVERLAPPED *ov, std::shared_ptr<Event> event);
    // Bytes of pending writes not yet given to the device.
    DWORD unsent() const;
    void startWrite(Transfer &w, Clock::time_point now);
    void serveReads(Clock::time_point now);
    void raise(DWORD events);
    // The device hung up: fails the wait and the writes; reads get what is queued.
    void markGone(DWORD error);
    void abortReads();
    void abortWrites();
    // Completes an operation that ends within its call.
    bool finishNow(OVERLAPPED *ov, Event &event, DWORD error, DWORD count, DWORD *out);

    std::mutex m_;
    bool shut_ = false;    // handle closed: every call fails
    bool closing_ = false; // the driver thread is to end
    bool gone_ = false;    // the device hung up
    DWORD goneError_ = ERROR_DEVICE_NOT_CONNECTED;
    DCB dcb_{};
    COMMTIMEOUTS timeouts_{};
    DWORD inSize_ = 4096;
    DWORD outSize_ = 4096;
    std::deque<BYTE> in_;
    std::deque<Transfer> writes_;
    std::optional<EventWait> wait_;

private:
    bool immediateReads() const;
    bool anyByteReads() const;
    void startRead(Transfer &r, Clock::time_point now);

    DWORD mask_ = 0;
    DWORD history_ = 0; // events seen while no wait was pending
    std::deque<Transfer> reads_;
};

} // namespace comm::detail
