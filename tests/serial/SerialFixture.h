#pragma once

#include "serial/XComDrv.h"
#include "support/PtyPair.h"

#include <QTest>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <thread>

// A component set to a fresh pseudo-terminal whose master side plays the device.
class SerialTest : public ::testing::Test {
protected:
    SerialTest() { comm.setDeviceName(pty.slavePath()); }

    PtyPair pty;
    TXComm comm;
};

// Closes the port, if open, when it goes out of scope. A delivery may still be
// running, or waiting for the main thread, when a test body returns, so a
// test whose handlers use its locals declares this after them: the port is
// closed, and every delivery over, before those locals go.
class ClosesOnExit {
public:
    explicit ClosesOnExit(TCustomComm &comm) : comm_(comm) {}
    ~ClosesOnExit()
    {
        if (comm_.Opened())
            comm_.CloseDevice();
    }
    ClosesOnExit(const ClosesOnExit &) = delete;
    ClosesOnExit &operator=(const ClosesOnExit &) = delete;

private:
    TCustomComm &comm_;
};

// Aborts the test program, naming what hung, unless it goes out of scope
// within the limit: for code that can hang in a way no wait of its own bounds.
class Deadline {
public:
    Deadline(std::chrono::seconds limit, const char *what)
        : watchdog_([this, limit, what] {
              std::unique_lock lock(m_);
              if (!cv_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "deadline of %llds passed: %s\n", static_cast<long long>(limit.count()), what);
                  std::abort();
              }
          })
    {
    }
    ~Deadline()
    {
        {
            std::lock_guard lock(m_);
            done_ = true;
        }
        cv_.notify_all();
        watchdog_.join();
    }
    Deadline(const Deadline &) = delete;
    Deadline &operator=(const Deadline &) = delete;

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool done_ = false;
    std::thread watchdog_;
};

// The EDeviceError code that f raises, or 0; its message goes to *message.
inline int errorCodeOf(const std::function<void()> &f, std::string *message = nullptr)
{
    try {
        f();
    } catch (const EDeviceError &e) {
        if (message)
            *message = e.what();
        return e.ErrorCode();
    }
    return 0;
}

// Runs the main thread's event loop until pred holds (at most 5 s).
inline bool waitFor(const std::function<bool()> &pred) { return QTest::qWaitFor(pred, 5000); }
