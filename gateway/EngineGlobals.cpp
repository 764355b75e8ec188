#include "gateway/EngineGlobals.h"

#include <mutex>

namespace {

// A function-local static, so that globals of other files may lock it
// during their own initialisation.
std::recursive_mutex &engineMutex()
{
    static std::recursive_mutex m;
    return m;
}

thread_local int t_depth = 0;

} // namespace

EngineLock::EngineLock()
{
    engineMutex().lock();
    ++t_depth;
}

EngineLock::~EngineLock()
{
    --t_depth;
    engineMutex().unlock();
}

EngineUnlock::EngineUnlock() : depth_(t_depth)
{
    for (int i = 0; i < depth_; ++i) {
        --t_depth;
        engineMutex().unlock();
    }
}

EngineUnlock::~EngineUnlock()
{
    for (int i = 0; i < depth_; ++i) {
        engineMutex().lock();
        ++t_depth;
    }
}

bool engineLockHeld() { return t_depth > 0; }

TEngineGlobal<std::string> DialNumber{std::string()};
TEngineGlobal<int> PhoneBookIndex{0};
TEngineGlobal<bool> SearchingDevice{false};
