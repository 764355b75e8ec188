#pragma once

#include "serial/XComDrv.h"
#include "support/PtyPair.h"

#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <string>

// A component set to a fresh pseudo-terminal whose master side plays the device.
class SerialTest : public ::testing::Test {
protected:
    SerialTest() { comm.setDeviceName(pty.slavePath()); }

    PtyPair pty;
    TXComm comm;
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
