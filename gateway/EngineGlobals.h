#pragma once

#include <string>
#include <utility>

// The engine's one mutex and its three process-wide requests.
//
// Locking rules (both threads, and every caller outside the engine):
// - Hold an EngineLock while reading or changing any engine state: a
//   channel's SendQueue and RecvList, the scheduler's fields, the
//   controllers. The channel's own operations (QueueSend, AddReceived,
//   IsIdle, ...) and the globals below lock by themselves.
// - The lock is recursive, so engine code may call back into locking
//   operations. It is held across the main thread's waits inside reply
//   handling (at most a few seconds) and across the drive thread's port
//   writes; it is never held by a thread that waits for the other thread.
// - The drive thread releases it (EngineUnlock) around its sleeps and
//   around closing and opening the port, since closing waits for the main
//   thread to finish a pending port delivery, which takes the lock.
// - The main thread must never wait for the drive thread while holding it.
class EngineLock {
public:
    EngineLock();
    ~EngineLock();
    EngineLock(const EngineLock &) = delete;
    EngineLock &operator=(const EngineLock &) = delete;
};

// Releases every level of the engine lock that the calling thread holds and
// takes them back when it goes; nothing when the thread holds none.
class EngineUnlock {
public:
    EngineUnlock();
    ~EngineUnlock();
    EngineUnlock(const EngineUnlock &) = delete;
    EngineUnlock &operator=(const EngineUnlock &) = delete;

private:
    int depth_;
};

// True when the calling thread holds the engine lock.
bool engineLockHeld();

// One engine global: every read and write takes the engine lock.
template <typename T> class TEngineGlobal {
public:
    explicit TEngineGlobal(T initial) : value_(std::move(initial)) {}
    TEngineGlobal(const TEngineGlobal &) = delete;
    TEngineGlobal &operator=(const TEngineGlobal &) = delete;

    T get() const
    {
        EngineLock lock;
        return value_;
    }
    void set(T value)
    {
        EngineLock lock;
        value_ = std::move(value);
    }

private:
    T value_;
};

// Number to dial on the next idle tick; empty: no request. Set by the
// desk's dial command, cleared by the tick once dialled and by every
// activation of the main window.
extern TEngineGlobal<std::string> DialNumber;
// Next SIM phone-book index to read; -1: no import running; 0 until the
// first initialisation. The desk's import sets 1.
extern TEngineGlobal<int> PhoneBookIndex;
// True while the device search runs.
extern TEngineGlobal<bool> SearchingDevice;
