// Queues, time limits and event waits of a comm-layer port; no device calls here.

#include "platform/comm/CommQueues.h"

#include <algorithm>
#include <cstring>

namespace comm::detail {

int PortQueues::pollTimeout(Clock::time_point now) const
{
    Clock::time_point next = kNever;
    if (!reads_.empty() && reads_.front().started) {
        const Transfer &r = reads_.front();
        next = std::min(next, r.deadline);
        DWORD interval = timeouts_.ReadIntervalTimeout;
        if (interval != 0 && interval != MAXDWORD && r.done > 0)
            next = std::min(next, after(r.lastByte, interval));
    }
    if (!writes_.empty() && writes_.front().started)
        next = std::min(next, writes_.front().deadline);
    if (next == kNever)
        return -1;
    if (next <= now)
        return 0;
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
    return static_cast<int>(std::min<long long>(ms, 1 << 30));
}

void PortQueues::expire(Clock::time_point now)
{
    while (!reads_.empty() && reads_.front().started) {
        Transfer &r = reads_.front();
        DWORD interval = timeouts_.ReadIntervalTimeout;
        bool gap = interval != 0 && interval != MAXDWORD && r.done > 0 && now >= after(r.lastByte, interval);
        if (now < r.deadline && !gap)
            break;
        completeOverlapped(r.ov, *r.event, ERROR_SUCCESS, r.done);
        reads_.pop_front();
        serveReads(now);
    }
    while (!writes_.empty() && writes_.front().started && now >= writes_.front().deadline) {
        Transfer &w = writes_.front();
        // A write time-out is a success with the bytes sent so far.
        completeOverlapped(w.ov, *w.event, ERROR_SUCCESS, w.done);
        writes_.pop_front();
        if (!writes_.empty())
            startWrite(writes_.front(), now);
    }
}

bool PortQueues::immediateReads() const
{
    return timeouts_.ReadIntervalTimeout == MAXDWORD && timeouts_.ReadTotalTimeoutMultiplier == 0 &&
           timeouts_.ReadTotalTimeoutConstant == 0;
}

bool PortQueues::anyByteReads() const
{
    return timeouts_.ReadIntervalTimeout == MAXDWORD && timeouts_.ReadTotalTimeoutMultiplier == MAXDWORD &&
           timeouts_.ReadTotalTimeoutConstant != 0 && timeouts_.ReadTotalTimeoutConstant != MAXDWORD;
}

void PortQueues::startRead(Transfer &r, Clock::time_point now)
{
    if (r.started)
        return;
    r.started = true;
    r.lastByte = now;
    if (anyByteReads()) {
        r.deadline = after(now, timeouts_.ReadTotalTimeoutConstant);
        return;
    }
    unsigned long long total = static_cast<unsigned long long>(timeouts_.ReadTotalTimeoutMultiplier) * r.want +
                               timeouts_.ReadTotalTimeoutConstant;
    r.deadline = total == 0 ? kNever : after(now, total);
}

void PortQueues::startWrite(Transfer &w, Clock::time_point now)
{
    if (w.started)
        return;
    w.started = true;
    unsigned long long total = static_cast<unsigned long long>(timeouts_.WriteTotalTimeoutMultiplier) * w.want +
                               timeouts_.WriteTotalTimeoutConstant;
    w.deadline = total == 0 ? kNever : after(now, total);
}

void PortQueues::serveReads(Clock::time_point now)
{
    const bool wasFull = in_.size() >= inSize_;
    while (!reads_.empty()) {
        Transfer &r = reads_.front();
        startRead(r, now);
        DWORD take = static_cast<DWORD>(std::min<std::size_t>(r.want - r.done, in_.size()));
        if (take > 0) {
            std::copy_n(in_.begin(), take, r.in + r.done);
            in_.erase(in_.begin(), in_.begin() + take);
            r.done += take;
            r.lastByte = now;
        }
        if (r.done == r.want || (anyByteReads() && r.done > 0)) {
            completeOverlapped(r.ov, *r.event, ERROR_SUCCESS, r.done);
        } else if (gone_) {
            completeOverlapped(r.ov, *r.event, r.done > 0 ? ERROR_SUCCESS : goneError_, r.done);
        } else {
            break;
        }
        reads_.pop_front();
    }
    if (wasFull && in_.size() < inSize_)
        wakeDriver();
}

void PortQueues::raise(DWORD events)
{
    events &= mask_;
    if (events == 0)
        return;
    if (wait_) {
        *wait_->mask = events;
        completeOverlapped(wait_->ov, *wait_->event, ERROR_SUCCESS, 0);
        wait_.reset();
    } else {
        history_ |= events;
    }
}

void PortQueues::markGone(DWORD error)
{
    if (gone_)
        return;
    gone_ = true;
    goneError_ = error;
    if (wait_) {
        completeOverlapped(wait_->ov, *wait_->event, error, 0);
        wait_.reset();
    }
    for (Transfer &w : writes_)
        completeOverlapped(w.ov, *w.event, error, 0);
    writes_.clear();
    serveReads(Clock::now());
}

void PortQueues::abortReads()
{
    for (Transfer &r : reads_)
        completeOverlapped(r.ov, *r.event, ERROR_OPERATION_ABORTED, 0);
    reads_.clear();
}

void PortQueues::abortWrites()
{
    for (Transfer &w : writes_)
        completeOverlapped(w.ov, *w.event, ERROR_OPERATION_ABORTED, 0);
    writes_.clear();
}

bool PortQueues::finishNow(OVERLAPPED *ov, Event &event, DWORD error, DWORD count, DWORD *out)
{
    completeOverlapped(ov, event, error, count);
    if (out)
        *out = count;
    return error == ERROR_SUCCESS ? true : fail(error);
}

bool PortQueues::setup(DWORD inQueue, DWORD outQueue)
{
    if (inQueue == 0)
        return fail(ERROR_INVALID_PARAMETER);
    std::lock_guard lock(m_);
    if (shut_)
        return fail(ERROR_INVALID_HANDLE);
    // A smaller queue keeps bytes already in it; reading drains them.
    inSize_ = inQueue;
    outSize_ = outQueue;
    wakeDriver();
    return true;
}

bool PortQueues::getTimeouts(COMMTIMEOUTS *t)
{
    std::lock_guard lock(m_);
    if (shut_)
        return fail(ERROR_INVALID_HANDLE);
    *t = timeouts_;
    return true;
}

bool PortQueues::setTimeouts(const COMMTIMEOUTS &t)
{
    if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD &&
        t.ReadTotalTimeoutConstant == MAXDWORD)
        return fail(ERROR_INVALID_PARAMETER);
    std::lock_guard lock(m_);
    if (shut_)
        return fail(ERROR_INVALID_HANDLE);
    timeouts_ = t; // for transfers that start from now on
    return true;
}

bool PortQueues::properties(COMMPROP *prop)
{
    std::lock_guard lock(m_);
    if (shut_)
        return fail(ERROR_INVALID_HANDLE);
    prop->dwMaxTxQueue = 0;
    prop->dwMaxRxQueue = 0;
    prop->dwCurrentTxQueue = outSize_;
    prop->dwCurrentRxQueue = inSize_;
    return true;
}

bool PortQueues::read(BYTE *buffer, DWORD count, DWORD *got, OVERLAPPED *ov, std::shared_ptr<Event> event)
{
    std::lock_guard lock(m_);
    if (shut_)
        return fail(ERROR_INVALID_HANDLE);
    beginOverlapped(ov, *event);
    if (reads_.empty()) {
        DWORD available = static_cast<DWORD>(std::min<std::size_t>(count, in_.size()));
        if (available == count || immediateReads() || (anyByteReads() && available > 0) || gone_) {
            if (available == 0 && count > 0 && gone_)
                return finishNow(ov, *event, goneError_, 0, got);
            const bool wasFull = in_.size() >= inSize_;
            std::copy_n(in_.begin(), available, buffer);
            in_.erase(in_.begin(), in_.begin() + available);
            if (wasFull && in_.size() < inSize_)
                wakeDriver();
            return finishNow(ov, *event, ERROR_SUCCESS, available, got);
        }
    }
    Transfer r;
    r.ov = ov;
    r.event = std::move(event);
    r.in = buffer;
    r.want = count;
    reads_.push_back(std::move(r));
    serveReads(Clock::now());
    wakeDriver(); // a new time limit to watch
    return fail(ERROR_IO_PENDING);
}

bool PortQueues::setMask(DWORD mask)
{
    std::lock_guard lock(m_);
    if (shut_)
        return fail(ERROR_INVALID_HANDLE);
    mask_ = mask;
    history_ = 0;
    if (wait_) {
        *wait_->mask = 0;
        completeOverlapped(wait_->ov, *wait_->event, ERROR_SUCCESS, 0);
        wait_.reset();
    }
    return true;
}

bool PortQueues::waitEvent(DWORD *mask, OVERLAPPED *ov, std::shared_ptr<Event> event)
{
    std::lock_guard lock(m_);
    if (shut_)
        return fail(ERROR_INVALID_HANDLE);
    if (wait_)
        return fail(ERROR_INVALID_PARAMETER);
    beginOverlapped(ov, *event);
    if (gone_)
        return finishNow(ov, *event, goneError_, 0, nullptr);
    if (mask_ == 0)
        return finishNow(ov, *event, ERROR_INVALID_PARAMETER, 0, nullptr);
    if (DWORD ready = history_ & mask_) {
        history_ = 0;
        *mask = ready;
        return finishNow(ov, *event, ERROR_SUCCESS, 0, nullptr);
    }
    wait_ = EventWait{ov, std::move(event), mask};
    return fail(ERROR_IO_PENDING);
}

DWORD PortQueues::accept(const BYTE *bytes, std::size_t count)
{
    in_.insert(in_.end(), bytes, bytes + count);
    DWORD events = EV_RXCHAR;
    if (std::memchr(bytes, static_cast<BYTE>(dcb_.EvtChar), count))
        events |= EV_RXFLAG;
    return events;
}

void PortQueues::received(std::size_t queuedBefore, DWORD events)
{
    const std::size_t mark = inSize_ * 8 / 10;
    if (queuedBefore < mark && in_.size() >= mark)
        events |= EV_RX80FULL;
    serveReads(Clock::now());
    raise(events);
}

void PortQueues::queueWrite(const BYTE *buffer, DWORD count, DWORD done, OVERLAPPED *ov, std::shared_ptr<Event> event)
{
    Transfer w;
    w.ov = ov;
    w.event = std::move(event);
    w.out = buffer;
    w.want = count;
    w.done = done;
    writes_.push_back(std::move(w));
    if (writes_.size() == 1)
        startWrite(writes_.front(), Clock::now());
    wakeDriver();
}

DWORD PortQueues::unsent() const
{
    DWORD bytes = 0;
    for (const Transfer &w : writes_)
        bytes += w.want - w.done;
    return bytes;
}

} // namespace comm::detail
