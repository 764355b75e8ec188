// The comm layer itself, on pseudo-terminals: names, queues, time limits,
// event waits and aborts.

#include "platform/comm/Comm.h"
#include "support/PtyPair.h"

#include <gtest/gtest.h>
#include <thread>

using namespace comm;

namespace {

UniqueHandle openPort(const std::string &path)
{
    return UniqueHandle(CreateFile("\\\\.\\" + path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OVERLAPPED, nullptr));
}

void setTimeouts(HANDLE port, DWORD interval, DWORD multiplier, DWORD constant)
{
    COMMTIMEOUTS t{interval, multiplier, constant, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port, &t));
}

DWORD inQueue(HANDLE port)
{
    COMSTAT stat{};
    DWORD errors = 0;
    EXPECT_TRUE(ClearCommError(port, &errors, &stat));
    return stat.cbInQue;
}

// Waits (bounded) until the port's input queue holds count bytes.
bool waitQueued(HANDLE port, DWORD count)
{
    for (int i = 0; i < 5000 && inQueue(port) < count; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return inQueue(port) >= count;
}

// Starts an overlapped read and waits for its result.
std::string readBlocking(HANDLE port, DWORD count, DWORD *error = nullptr)
{
    UniqueHandle event(CreateEvent(nullptr, true, true, nullptr));
    OVERLAPPED ov{};
    ov.hEvent = event.get();
    std::string buf(count, '\0');
    DWORD got = 0;
    bool ok = ReadFile(port, buf.data(), count, &got, &ov);
    if (!ok && GetLastError() == ERROR_IO_PENDING)
        ok = GetOverlappedResult(port, &ov, &got, true);
    if (error)
        *error = ok ? ERROR_SUCCESS : GetLastError();
    buf.resize(ok ? got : 0);
    return buf;
}

// Starts an overlapped write and waits for its result; the count written.
DWORD writeBlocking(HANDLE port, const std::string &bytes)
{
    UniqueHandle event(CreateEvent(nullptr, true, true, nullptr));
    OVERLAPPED ov{};
    ov.hEvent = event.get();
    DWORD done = 0;
    bool ok = WriteFile(port, bytes.data(), static_cast<DWORD>(bytes.size()), &done, &ov);
    if (!ok && GetLastError() == ERROR_IO_PENDING)
        ok = GetOverlappedResult(port, &ov, &done, true);
    EXPECT_TRUE(ok);
    return done;
}

} // namespace

TEST(CommLayer, DeviceNamesMapToPaths)
{
    EXPECT_EQ(devicePath("COM1"), "/dev/ttyS0");
    EXPECT_EQ(devicePath("\\\\.\\com12"), "/dev/ttyS11");
    EXPECT_EQ(devicePath("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(devicePath("\\\\.\\/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(devicePath("COM0"), "/dev/COM0");
    EXPECT_EQ(devicePath("COMX"), "/dev/COMX");
}

TEST(CommLayer, OpenIsExclusiveAndRefusesWhatIsNoSerialDevice)
{
    PtyPair pty;
    UniqueHandle first = openPort(pty.slavePath());
    ASSERT_TRUE(first.valid());
    EXPECT_EQ(CreateFile(pty.slavePath(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    first.reset();
    EXPECT_TRUE(openPort(pty.slavePath()).valid());

    EXPECT_EQ(CreateFile("/dev/null", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFile("ttyNoSuchDevice", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST(CommLayer, ReadsEndByTheirTimeLimitsWithWhatCame)
{
    PtyPair pty;
    UniqueHandle port = openPort(pty.slavePath());
    ASSERT_TRUE(port.valid());

    // Total limit: 10 asked, 3 come.
    setTimeouts(port.get(), 0, 0, 50);
    pty.write("abc");
    ASSERT_TRUE(waitQueued(port.get(), 3));
    EXPECT_EQ(readBlocking(port.get(), 10), "abc");

    // Interval limit: bytes stop coming.
    setTimeouts(port.get(), 20, 0, 0);
    std::thread feeder([&] { pty.write("de"); });
    EXPECT_EQ(readBlocking(port.get(), 10), "de");
    feeder.join();

    // MAXDWORD interval and no total: takes what is there, even nothing.
    setTimeouts(port.get(), MAXDWORD, 0, 0);
    EXPECT_EQ(readBlocking(port.get(), 10), "");

    // No limits at all: waits for the full count, bytes arriving in pieces.
    setTimeouts(port.get(), 0, 0, 0);
    std::thread pieces([&] {
        pty.write("12");
        pty.write("345");
    });
    EXPECT_EQ(readBlocking(port.get(), 5), "12345");
    pieces.join();
}

TEST(CommLayer, EventsAreKeptUntilAWaitAndAMaskChangeEndsAWait)
{
    PtyPair pty;
    UniqueHandle port = openPort(pty.slavePath());
    ASSERT_TRUE(port.valid());
    DCB dcb{};
    ASSERT_TRUE(GetCommState(port.get(), &dcb));
    dcb.EvtChar = '\n';
    ASSERT_TRUE(SetCommState(port.get(), &dcb));
    ASSERT_TRUE(SetCommMask(port.get(), EV_RXCHAR | EV_RXFLAG));

    pty.write("OK\n");
    ASSERT_TRUE(waitQueued(port.get(), 3));
    UniqueHandle event(CreateEvent(nullptr, true, true, nullptr));
    OVERLAPPED ov{};
    ov.hEvent = event.get();
    DWORD mask = 0;
    ASSERT_TRUE(WaitCommEvent(port.get(), &mask, &ov));
    EXPECT_EQ(mask, EV_RXCHAR | EV_RXFLAG);

    // Nothing new: the wait stays pending until the mask changes.
    EXPECT_FALSE(WaitCommEvent(port.get(), &mask, &ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_EQ(WaitForSingleObject(event.get(), 20), WAIT_TIMEOUT);
    ASSERT_TRUE(SetCommMask(port.get(), 0));
    DWORD unused = 0;
    EXPECT_TRUE(GetOverlappedResult(port.get(), &ov, &unused, false));
    EXPECT_EQ(mask, 0u);
}

TEST(CommLayer, AFullInputQueueHoldsTheSenderBackWithoutLoss)
{
    PtyPair pty;
    UniqueHandle port = openPort(pty.slavePath());
    ASSERT_TRUE(port.valid());
    ASSERT_TRUE(SetupComm(port.get(), 128, 128));
    setTimeouts(port.get(), MAXDWORD, 0, 0);

    std::string data;
    for (int i = 0; data.size() < 200000; ++i)
        data += std::to_string(i) + ',';
    std::thread sender([&] { pty.write(data); });
    std::string got;
    DWORD most = 0;
    while (got.size() < data.size()) {
        most = std::max(most, inQueue(port.get()));
        std::string chunk = readBlocking(port.get(), 100);
        if (chunk.empty())
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        got += chunk;
    }
    sender.join();
    EXPECT_LE(most, 128u);
    EXPECT_EQ(got, data);
}

TEST(CommLayer, PurgeAndCloseAbortPendingOperations)
{
    PtyPair pty;
    UniqueHandle port = openPort(pty.slavePath());
    ASSERT_TRUE(port.valid());
    setTimeouts(port.get(), 0, 0, 0);

    UniqueHandle event(CreateEvent(nullptr, true, true, nullptr));
    OVERLAPPED ov{};
    ov.hEvent = event.get();
    char buf[8];
    DWORD got = 0;
    ASSERT_FALSE(ReadFile(port.get(), buf, sizeof buf, &got, &ov));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_FALSE(GetOverlappedResult(port.get(), &ov, &got, false));
    EXPECT_EQ(GetLastError(), ERROR_IO_INCOMPLETE);
    ASSERT_TRUE(PurgeComm(port.get(), PURGE_RXABORT | PURGE_RXCLEAR));
    EXPECT_FALSE(GetOverlappedResult(port.get(), &ov, &got, true));
    EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);

    ASSERT_FALSE(ReadFile(port.get(), buf, sizeof buf, &got, &ov));
    port.reset();
    EXPECT_EQ(WaitForSingleObject(event.get(), INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(ov.Internal, ERROR_OPERATION_ABORTED);
}

TEST(CommLayer, WaitingForSeveralEventsReportsTheFirstSignalled)
{
    UniqueHandle a(CreateEvent(nullptr, true, false, nullptr));
    UniqueHandle b(CreateEvent(nullptr, false, false, nullptr));
    HANDLE both[2] = {a.get(), b.get()};
    EXPECT_EQ(WaitForMultipleObjects(2, both, false, 10), WAIT_TIMEOUT);

    std::thread setter([&] { SetEvent(b.get()); });
    EXPECT_EQ(WaitForMultipleObjects(2, both, false, INFINITE), WAIT_OBJECT_0 + 1);
    setter.join();
    // b resets itself on the wait; a stays set until reset.
    EXPECT_EQ(WaitForSingleObject(b.get(), 0), WAIT_TIMEOUT);
    SetEvent(a.get());
    EXPECT_EQ(WaitForMultipleObjects(2, both, false, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(a.get(), 0), WAIT_OBJECT_0);

    HANDLE stale = a.get();
    a.reset();
    EXPECT_EQ(WaitForSingleObject(stale, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(CommLayer, AnEmptyWriteBehindAPendingOneHoldsNothingUp)
{
    PtyPair pty;
    UniqueHandle port = openPort(pty.slavePath());
    ASSERT_TRUE(port.valid());
    EXPECT_EQ(writeBlocking(port.get(), ""), 0u);

    // More than the terminal buffers, so the writes queue up behind it.
    const std::string big(100000, 'x');
    UniqueHandle e1(CreateEvent(nullptr, true, false, nullptr)), e2(CreateEvent(nullptr, true, false, nullptr)),
        e3(CreateEvent(nullptr, true, false, nullptr));
    OVERLAPPED o1{}, o2{}, o3{};
    o1.hEvent = e1.get();
    o2.hEvent = e2.get();
    o3.hEvent = e3.get();
    DWORD n = 0;
    WriteFile(port.get(), big.data(), static_cast<DWORD>(big.size()), &n, &o1);
    WriteFile(port.get(), "", 0, &n, &o2);
    WriteFile(port.get(), "AT\r", 3, &n, &o3);
    const std::string got = pty.read(big.size() + 3, 10000);
    ASSERT_EQ(got.size(), big.size() + 3);
    EXPECT_EQ(got.substr(big.size()), "AT\r");
    DWORD done = 0;
    EXPECT_TRUE(GetOverlappedResult(port.get(), &o2, &done, true));
    EXPECT_EQ(done, 0u);
    EXPECT_TRUE(GetOverlappedResult(port.get(), &o3, &done, true));
    EXPECT_EQ(done, 3u);
}
