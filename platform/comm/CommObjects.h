#pragma once

// Internals shared by the two sources of the comm layer: the handle table,
// events and the completion of overlapped operations. Not for other callers.

#include "platform/comm/Comm.h"

#include <memory>

namespace comm::detail {

// Anything a handle can name.
class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Called once, when the handle is closed.
    virtual void closed() {}
};

// Event state lives under one process-wide lock so that a thread can wait for
// any of several events; see CommKernel.cpp.
class Event : public KernelObject {
public:
    Event(bool manualReset, bool signalled) : manualReset_(manualReset), signalled_(signalled) {}
    void set();
    void reset();

private:
    friend struct EventAccess;
    bool manualReset_;
    bool signalled_;
};

HANDLE insertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> lookupHandle(HANDLE h);
std::shared_ptr<KernelObject> removeHandle(HANDLE h);

template <typename T> std::shared_ptr<T> lookupAs(HANDLE h) { return std::dynamic_pointer_cast<T>(lookupHandle(h)); }

// The OVERLAPPED status while an operation runs.
constexpr std::uintptr_t kPending = 0x103;

// Marks an operation pending and resets its event.
void beginOverlapped(OVERLAPPED *ov, Event &event);
// Publishes the result (error 0 = success) and sets the event. After this the
// layer must not touch ov again.
void completeOverlapped(OVERLAPPED *ov, Event &event, DWORD error, DWORD transferred);

// The one place where errno becomes an error number of this layer.
DWORD errorFromErrno(int err);
// Sets the last error (and the system's error number behind it, 0 for none)
// and returns false, for the common failure path.
bool fail(DWORD error, int systemError = 0);
// fail() for a failed system call: err's error number, and err itself.
bool failErrno(int err);

} // namespace comm::detail
