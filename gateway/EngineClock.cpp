#include "gateway/EngineClock.h"

#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace engineclock {
namespace {

std::atomic<double> g_scale{1.0};
std::mutex g_mutex;
std::condition_variable g_wake;
thread_local std::atomic<bool> *t_stop = nullptr;
std::uint64_t g_kicks = 0; // under g_mutex

} // namespace

void setScale(double factor) { g_scale.store(factor > 0 ? factor : 1.0); }

double scale() { return g_scale.load(); }

std::chrono::microseconds scaled(int ms) { return std::chrono::microseconds(std::llround(ms * 1000.0 * scale())); }

void sleep(int ms)
{
    const auto span = scaled(ms);
    if (!t_stop) {
        std::this_thread::sleep_for(span);
        return;
    }
    std::unique_lock lock(g_mutex);
    g_wake.wait_for(lock, span, [] { return t_stop->load(); });
}

bool stopRequested() { return t_stop && t_stop->load(); }

void kick()
{
    {
        std::lock_guard lock(g_mutex);
        ++g_kicks;
    }
    g_wake.notify_all();
}

std::uint64_t kicks()
{
    std::lock_guard lock(g_mutex);
    return g_kicks;
}

bool sleepUntil(Clock::time_point deadline, std::uint64_t seen)
{
    std::unique_lock lock(g_mutex);
    g_wake.wait_until(lock, deadline, [&] { return g_kicks != seen || (t_stop && t_stop->load()); });
    return g_kicks != seen && !(t_stop && t_stop->load());
}

StopScope::StopScope(std::atomic<bool> &flag) : previous_(t_stop) { t_stop = &flag; }

StopScope::~StopScope() { t_stop = previous_; }

void requestStop(std::atomic<bool> &flag)
{
    {
        // Under the sleepers' mutex, so no sleeper misses the change.
        std::lock_guard lock(g_mutex);
        flag.store(true);
    }
    g_wake.notify_all();
}

} // namespace engineclock
