#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

// Every wait of the engine and the drive thread's tick go through here, so
// that one setting scales the engine's time: the code keeps the real values
// (milliseconds) and tests run the engine faster by setting the scale.
namespace engineclock {

// The scheduler's tick, in real milliseconds.
constexpr int kTickMs = 300;

// Factor applied to every engine wait: 1.0 (real time) unless changed. Set it
// before the engine starts; values not above 0 count as 1.0.
void setScale(double factor);
double scale();
// ms of engine time as real time on the current scale.
std::chrono::microseconds scaled(int ms);

// Sleeps ms (scaled) on the calling thread. On a thread that runs under a
// StopScope it returns at once when that scope's stop has been requested.
void sleep(int ms);

// True on a thread under a StopScope whose stop has been requested.
bool stopRequested();

using Clock = std::chrono::steady_clock;

// Kicks: a thread that waits for engine work (the drive thread) is woken
// early whenever the work may have changed. kick is cheap and may be called
// on any thread, the engine lock held or not; kicks() counts them.
void kick();
std::uint64_t kicks();
// Sleeps until deadline; ends early, returning true, once kicks() is no
// longer seen, and at once when the calling thread's stop has been
// requested (then false). False when the deadline passed. The caller must
// not hold the engine lock when it needs another thread to make progress.
bool sleepUntil(Clock::time_point deadline, std::uint64_t seen);

// Makes the calling thread's engine sleeps wakeable through flag; the
// thread keeps it for its whole run (scopes do not nest across threads).
class StopScope {
public:
    explicit StopScope(std::atomic<bool> &flag);
    ~StopScope();
    StopScope(const StopScope &) = delete;
    StopScope &operator=(const StopScope &) = delete;

private:
    std::atomic<bool> *previous_;
};

// Sets flag and wakes every sleep of a thread under a StopScope of it.
void requestStop(std::atomic<bool> &flag);

} // namespace engineclock
