// Handle table, events, waits and the small process-wide services of the comm
// layer. No device code here: that is CommPosix.cpp.

#include "platform/comm/CommObjects.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sys/utsname.h>
#include <unordered_map>
#include <vector>

namespace comm {
namespace detail {
namespace {

// Handle values are never reused, so a stale handle can never reach another
// object; they start at 4 and step by 4, well clear of INVALID_HANDLE_VALUE.
std::mutex g_handleMutex;
std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> g_handles;
std::uintptr_t g_nextHandle = 4;

// One lock and one condition for all events: a waiter on several events needs
// a single place to sleep, and the number of waiting threads is small.
std::mutex g_eventMutex;
std::condition_variable g_eventCv;

thread_local DWORD t_lastError = ERROR_SUCCESS;
thread_local int t_lastSystemError = 0;

std::atomic_ref<std::uintptr_t> status(OVERLAPPED *ov) { return std::atomic_ref<std::uintptr_t>(ov->Internal); }

} // namespace

struct EventAccess {
    static bool &signalled(Event &e) { return e.signalled_; }
    static bool manual(const Event &e) { return e.manualReset_; }
};

void Event::set()
{
    {
        std::lock_guard lock(g_eventMutex);
        signalled_ = true;
    }
    g_eventCv.notify_all();
}

void Event::reset()
{
    std::lock_guard lock(g_eventMutex);
    signalled_ = false;
}

HANDLE insertHandle(std::shared_ptr<KernelObject> object)
{
    std::lock_guard lock(g_handleMutex);
    std::uintptr_t value = g_nextHandle;
    g_nextHandle += 4;
    g_handles.emplace(value, std::move(object));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> lookupHandle(HANDLE h)
{
    std::lock_guard lock(g_handleMutex);
    auto it = g_handles.find(reinterpret_cast<std::uintptr_t>(h));
    return it == g_handles.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> removeHandle(HANDLE h)
{
    std::lock_guard lock(g_handleMutex);
    auto it = g_handles.find(reinterpret_cast<std::uintptr_t>(h));
    if (it == g_handles.end())
        return nullptr;
    auto object = std::move(it->second);
    g_handles.erase(it);
    return object;
}

void beginOverlapped(OVERLAPPED *ov, Event &event)
{
    event.reset();
    ov->InternalHigh = 0;
    status(ov).store(kPending, std::memory_order_release);
}

void completeOverlapped(OVERLAPPED *ov, Event &event, DWORD error, DWORD transferred)
{
    ov->InternalHigh = transferred;
    {
        // Under the event lock, so that GetOverlappedResult's wait cannot miss it.
        std::lock_guard lock(g_eventMutex);
        status(ov).store(error, std::memory_order_release);
    }
    event.set();
}

DWORD errorFromErrno(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR: return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EBUSY: return ERROR_ACCESS_DENIED;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL:
    case ERANGE: return ERROR_INVALID_PARAMETER;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case ENOTTY:
    case ENOSYS:
    case EOPNOTSUPP: return ERROR_NOT_SUPPORTED;
    case EIO:
    case ENXIO:
    case ENODEV: return ERROR_DEVICE_NOT_CONNECTED;
    default: return ERROR_GEN_FAILURE;
    }
}

bool fail(DWORD error, int systemError)
{
    t_lastError = error;
    t_lastSystemError = systemError;
    return false;
}

bool failErrno(int err) { return fail(errorFromErrno(err), err); }

} // namespace detail

using namespace detail;

std::string devicePath(const std::string &name)
{
    std::string n = name.rfind("\\\\.\\", 0) == 0 ? name.substr(4) : name;
    if (!n.empty() && n[0] == '/')
        return n;
    if (n.size() > 3 && std::toupper(static_cast<unsigned char>(n[0])) == 'C' &&
        std::toupper(static_cast<unsigned char>(n[1])) == 'O' &&
        std::toupper(static_cast<unsigned char>(n[2])) == 'M') {
        std::string digits = n.substr(3);
        bool allDigits = digits.size() <= 6;
        for (char c : digits)
            allDigits = allDigits && std::isdigit(static_cast<unsigned char>(c));
        if (allDigits) {
            long number = std::stol(digits);
            if (number >= 1)
                return "/dev/ttyS" + std::to_string(number - 1);
        }
    }
    return "/dev/" + n;
}

bool CloseHandle(HANDLE h)
{
    auto object = removeHandle(h);
    if (!object)
        return fail(ERROR_INVALID_HANDLE);
    object->closed();
    return true;
}

HANDLE CreateEvent(void *, bool manualReset, bool initialState, const char *)
{
    return insertHandle(std::make_shared<Event>(manualReset, initialState));
}

bool SetEvent(HANDLE event)
{
    auto e = lookupAs<Event>(event);
    if (!e)
        return fail(ERROR_INVALID_HANDLE);
    e->set();
    return true;
}

bool ResetEvent(HANDLE event)
{
    auto e = lookupAs<Event>(event);
    if (!e)
        return fail(ERROR_INVALID_HANDLE);
    e->reset();
    return true;
}

DWORD WaitForSingleObject(HANDLE h, DWORD milliseconds) { return WaitForMultipleObjects(1, &h, false, milliseconds); }

DWORD WaitForMultipleObjects(DWORD count, const HANDLE *handles, bool waitAll, DWORD milliseconds)
{
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || handles == nullptr) {
        fail(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<Event>> events;
    for (DWORD i = 0; i < count; ++i) {
        auto e = lookupAs<Event>(handles[i]);
        if (!e) {
            fail(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        events.push_back(std::move(e));
    }

    // Returns the index that satisfies the wait, consuming auto-reset events, or -1.
    auto satisfied = [&]() -> int {
        if (waitAll) {
            for (auto &e : events)
                if (!EventAccess::signalled(*e))
                    return -1;
            for (auto &e : events)
                if (!EventAccess::manual(*e))
                    EventAccess::signalled(*e) = false;
            return 0;
        }
        for (std::size_t i = 0; i < events.size(); ++i) {
            if (EventAccess::signalled(*events[i])) {
                if (!EventAccess::manual(*events[i]))
                    EventAccess::signalled(*events[i]) = false;
                return static_cast<int>(i);
            }
        }
        return -1;
    };

    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    std::unique_lock lock(g_eventMutex);
    for (;;) {
        int index = satisfied();
        if (index >= 0)
            return WAIT_OBJECT_0 + static_cast<DWORD>(index);
        if (milliseconds == INFINITE) {
            g_eventCv.wait(lock);
        } else if (g_eventCv.wait_until(lock, deadline) == std::cv_status::timeout) {
            index = satisfied();
            return index >= 0 ? WAIT_OBJECT_0 + static_cast<DWORD>(index) : WAIT_TIMEOUT;
        }
    }
}

bool GetOverlappedResult(HANDLE h, OVERLAPPED *ov, DWORD *transferred, bool wait)
{
    if (!lookupHandle(h))
        return fail(ERROR_INVALID_HANDLE);
    if (ov == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    std::uintptr_t result = status(ov).load(std::memory_order_acquire);
    if (result == kPending) {
        if (!wait)
            return fail(ERROR_IO_INCOMPLETE);
        std::unique_lock lock(g_eventMutex);
        g_eventCv.wait(lock, [&] { return status(ov).load(std::memory_order_acquire) != kPending; });
        result = status(ov).load(std::memory_order_acquire);
    }
    if (transferred)
        *transferred = static_cast<DWORD>(ov->InternalHigh);
    if (result != ERROR_SUCCESS)
        return fail(static_cast<DWORD>(result));
    return true;
}

DWORD GetTickCount()
{
    auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<DWORD>(ms.count());
}

bool GetVersionEx(OSVERSIONINFO *info)
{
    if (info == nullptr || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFO))
        return fail(ERROR_INVALID_PARAMETER);
    utsname names{};
    unsigned major = 0, minor = 0, build = 0;
    if (uname(&names) == 0)
        std::sscanf(names.release, "%u.%u.%u", &major, &minor, &build);
    info->dwMajorVersion = major;
    info->dwMinorVersion = minor;
    info->dwBuildNumber = build;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    info->szCSDVersion[0] = '\0';
    return true;
}

DWORD GetLastError() { return t_lastError; }

void SetLastError(DWORD error)
{
    t_lastError = error;
    t_lastSystemError = 0;
}

int GetLastSystemError() { return t_lastSystemError; }

std::string SysErrorMessage(DWORD error)
{
    switch (error) {
    case ERROR_SUCCESS: return "The operation completed successfully";
    case ERROR_INVALID_FUNCTION: return "Incorrect function";
    case ERROR_FILE_NOT_FOUND: return "The system cannot find the file specified";
    case ERROR_ACCESS_DENIED: return "Access is denied";
    case ERROR_INVALID_HANDLE: return "The handle is invalid";
    case ERROR_NOT_ENOUGH_MEMORY: return "Not enough memory is available to process this command";
    case ERROR_GEN_FAILURE: return "A device attached to the system is not functioning";
    case ERROR_NOT_SUPPORTED: return "The request is not supported";
    case ERROR_INVALID_PARAMETER: return "The parameter is incorrect";
    case ERROR_OPERATION_ABORTED: return "The I/O operation has been aborted";
    case ERROR_IO_INCOMPLETE: return "Overlapped I/O event is not in a signaled state";
    case ERROR_IO_PENDING: return "Overlapped I/O operation is in progress";
    case ERROR_DEVICE_NOT_CONNECTED: return "The device is not connected";
    default: return "Unknown error " + std::to_string(error);
    }
}

} // namespace comm
