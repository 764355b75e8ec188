// Port events: what OnData and OnCommEvent receive, on which thread, inside
// modal loops, while the port closes, and when the device goes away.

#include "SerialFixture.h"

#include "platform/sync/ThreadSync.h"

#include <QApplication>
#include <QDialog>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Records what the handlers of one component receive. It closes the port
// before its records go, so that no late delivery reaches them.
struct Recorder {
    ~Recorder()
    {
        if (port && port->Opened())
            port->CloseDevice();
    }

    TXComm *port = nullptr;
    std::mutex m;
    std::vector<std::uint32_t> counts;
    std::vector<TDeviceEvents> events;
    std::vector<QThread *> dataThreads;
    std::vector<QThread *> eventThreads;
    std::string bytes;
    bool readAll = false;

    void attach(TXComm &comm)
    {
        port = &comm;
        comm.setOnData([this, &comm](TCustomComm *, std::uint32_t received) {
            std::lock_guard lock(m);
            counts.push_back(received);
            dataThreads.push_back(QThread::currentThread());
            std::string s;
            if (readAll && comm.ReadString(s, received))
                bytes += s;
        });
        comm.setOnCommEvent([this](TCustomComm *, TDeviceEvents e) {
            std::lock_guard lock(m);
            events.push_back(e);
            eventThreads.push_back(QThread::currentThread());
        });
    }
    std::size_t deliveries()
    {
        std::lock_guard lock(m);
        return counts.size();
    }
    std::string received()
    {
        std::lock_guard lock(m);
        return bytes;
    }
};

QThread *mainThread() { return QCoreApplication::instance()->thread(); }

} // namespace

TEST_F(SerialTest, BytesWithoutTheEventCharGiveDeCharAndTheQueuedCount)
{
    Recorder rec;
    rec.attach(comm);
    comm.OpenDevice();
    pty.write("abc");
    // The handler reads nothing, so each delivery counts everything queued.
    ASSERT_TRUE(waitFor([&] { return !rec.counts.empty() && rec.counts.back() == 3; }));
    for (std::size_t i = 1; i < rec.counts.size(); ++i)
        EXPECT_GE(rec.counts[i], rec.counts[i - 1]);
    ASSERT_FALSE(rec.events.empty());
    for (TDeviceEvents e : rec.events)
        EXPECT_EQ(e, TDeviceEvents{deChar});
    for (QThread *t : rec.dataThreads)
        EXPECT_EQ(t, mainThread());
    EXPECT_EQ(comm.QueueCount(0), 3u);
}

TEST_F(SerialTest, ALineEndingInLineFeedAddsDeFlag)
{
    Recorder rec;
    rec.readAll = true;
    rec.attach(comm);
    comm.OpenDevice();
    pty.write("OK\r\n");
    ASSERT_TRUE(waitFor([&] { return rec.received() == "OK\r\n"; }));
    ASSERT_FALSE(rec.events.empty());
    EXPECT_EQ(rec.events.back(), (TDeviceEvents{deChar, deFlag}));

    // Another event char is honoured once set.
    comm.EventChars()->setEventChar('>');
    pty.write("> ");
    ASSERT_TRUE(waitFor([&] { return rec.received() == "OK\r\n> "; }));
    EXPECT_EQ(rec.events.back(), (TDeviceEvents{deChar, deFlag}));
}

TEST_F(SerialTest, EmptyMonitorEventsSilenceOnCommEventButNotOnData)
{
    Recorder rec;
    rec.readAll = true;
    rec.attach(comm);
    comm.setMonitorEvents({});
    comm.OpenDevice();
    pty.write("+CMTI: \"SM\",3\r\n");
    // Each delivery runs OnData and then decides on OnCommEvent before returning.
    ASSERT_TRUE(waitFor([&] { return rec.received() == "+CMTI: \"SM\",3\r\n"; }));
    EXPECT_TRUE(rec.events.empty());
}

TEST_F(SerialTest, WithoutSynchronizeOnDataRunsOnTheEventThread)
{
    Recorder rec;
    rec.readAll = true;
    rec.attach(comm);
    comm.setSynchronize(false);
    comm.OpenDevice();
    pty.write("OK\r\n");
    for (int i = 0; i < 5000 && rec.received() != "OK\r\n"; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(rec.received(), "OK\r\n");
    std::lock_guard lock(rec.m);
    for (QThread *t : rec.dataThreads)
        EXPECT_NE(t, mainThread());
}

TEST_F(SerialTest, SendingReportsDeOutEmptyOnTheSendingThread)
{
    Recorder rec;
    rec.attach(comm);
    comm.OpenDevice();
    QThread *sender = nullptr;
    std::thread drive([&] {
        sender = QThread::currentThread();
        comm.SendString("AT+CMGF=0\r");
    });
    drive.join();
    std::lock_guard lock(rec.m);
    ASSERT_EQ(rec.events.size(), 1u);
    EXPECT_EQ(rec.events[0], TDeviceEvents{deOutEmpty});
    EXPECT_EQ(rec.eventThreads[0], sender);
    EXPECT_TRUE(rec.counts.empty());
}

TEST_F(SerialTest, DeliveriesRunInsideModalLoopsAndACloseServesThePendingOne)
{
    QDialog dialog;
    bool deliveredInModal = false;
    std::string bytes;
    ClosesOnExit closes(comm);
    comm.setOnData([&](TCustomComm *, std::uint32_t received) {
        deliveredInModal = deliveredInModal || QApplication::activeModalWidget() == &dialog;
        std::string s;
        if (comm.ReadString(s, received))
            bytes += s;
    });
    comm.OpenDevice();

    bool pendingSeen = false;
    std::string beforeClose;
    QTimer::singleShot(0, &dialog, [&] { pty.write("RING\r\n"); });
    QTimer waiter;
    QObject::connect(&waiter, &QTimer::timeout, &dialog, [&] {
        if (bytes != "RING\r\n")
            return;
        waiter.stop();
        // Hold the event loop until the event thread waits in a delivery, then close.
        pty.write("+CMTI: \"SM\",1\r\n");
        for (int i = 0; i < 5000 && threadsync::pending() == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        pendingSeen = threadsync::pending() > 0;
        comm.CloseDevice();
        beforeClose = bytes;
        dialog.accept();
    });
    waiter.start(5);
    QTimer::singleShot(10000, &dialog, &QDialog::reject);
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);

    EXPECT_TRUE(deliveredInModal);
    EXPECT_TRUE(pendingSeen);
    EXPECT_EQ(beforeClose, "RING\r\n+CMTI: \"SM\",1\r\n");
    EXPECT_FALSE(comm.Opened());
}

TEST_F(SerialTest, AHandlerThatThrowsDoesNotStopLaterDeliveries)
{
    int calls = 0;
    ClosesOnExit closes(comm);
    comm.setOnData([&](TCustomComm *, std::uint32_t received) {
        ++calls;
        std::string s;
        comm.ReadString(s, received);
        if (calls == 1)
            throw EDeviceError("handler failed", 99);
    });
    comm.OpenDevice();
    pty.write("one\n");
    ASSERT_TRUE(waitFor([&] { return calls >= 1; }));
    pty.write("two\n");
    ASSERT_TRUE(waitFor([&] { return calls >= 2; }));
    EXPECT_FALSE(comm.EventThread()->Finished());
}

TEST_F(SerialTest, ADeviceThatDisappearsEndsTheEventThreadQuietly)
{
    Recorder rec;
    rec.readAll = true;
    rec.attach(comm);
    comm.OpenDevice();
    pty.write("OK\r\n");
    ASSERT_TRUE(waitFor([&] { return rec.received() == "OK\r\n"; }));
    const std::size_t before = rec.deliveries();

    pty.closeMaster();
    ASSERT_TRUE(waitFor([&] { return comm.EventThread()->Finished(); }));
    QCoreApplication::processEvents();
    EXPECT_EQ(rec.deliveries(), before);
    EXPECT_TRUE(comm.Opened());
    EXPECT_EQ(comm.QueueCount(0), 0u);
    char c;
    EXPECT_EQ(errorCodeOf([&] { comm.ReadDataEx(&c, 1, 10); }), 0);

    comm.CloseDevice();
    EXPECT_FALSE(comm.Opened());
    EXPECT_EQ(errorCodeOf([&] { comm.OpenDevice(); }), 65535);
}

// Once CloseDevice (or the destructor) has returned, no handler is running or
// will run: what the handlers use may go at once. Bytes keep arriving while
// the port closes, so a delivery is often under way or waiting at that moment.
TEST_F(SerialTest, NoHandlerRunsOnceACloseUnderTrafficHasReturned)
{
    struct Case {
        bool synchronize;
        bool closeOnAnotherThread;
        bool destroy; // free the component rather than close it
    };
    const Case cases[] = {{true, false, false}, {true, true, false}, {false, false, false},
                          {false, true, false}, {true, false, true}, {false, false, true}};
    Deadline deadline(std::chrono::seconds(120), "closing under traffic");
    for (const Case &c : cases) {
        for (int round = 0; round < 10; ++round) {
            SCOPED_TRACE(testing::Message()
                         << "synchronize " << c.synchronize << ", other thread " << c.closeOnAnotherThread
                         << ", destroy " << c.destroy << ", round " << round);
            PtyPair device;
            auto port = std::make_unique<TXComm>();
            port->setDeviceName(device.slavePath());
            port->setSynchronize(c.synchronize);
            std::atomic<bool> closed{false};
            std::atomic<int> deliveries{0};
            std::atomic<int> late{0};
            port->setOnData([&, p = port.get()](TCustomComm *, std::uint32_t received) {
                if (closed.load())
                    ++late;
                std::string s;
                p->ReadString(s, received);
                ++deliveries;
                std::this_thread::yield();
            });
            port->setOnCommEvent([&](TCustomComm *, TDeviceEvents) {
                if (closed.load())
                    ++late;
            });
            port->OpenDevice();
            std::atomic<bool> stop{false};
            std::thread feeder([&] {
                const std::string line = "+CMTI: \"SM\",1\r\n";
                // Once the port is closed nobody reads: what does not fit is dropped.
                while (!stop.load()) {
                    [[maybe_unused]] ssize_t n = ::write(device.masterFd(), line.data(), line.size());
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                }
            });
            EXPECT_TRUE(waitFor([&] { return deliveries.load() >= 3; }));
            if (c.closeOnAnotherThread) {
                std::atomic<bool> done{false};
                std::thread closer([&] {
                    port->CloseDevice();
                    closed.store(true);
                    done.store(true);
                });
                // The main thread serves the deliveries that the close waits for.
                EXPECT_TRUE(waitFor([&] { return done.load(); }));
                closer.join();
            } else if (c.destroy) {
                port.reset();
                closed.store(true);
            } else {
                port->CloseDevice();
                closed.store(true);
            }
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            QCoreApplication::processEvents();
            stop.store(true);
            feeder.join();
            EXPECT_EQ(late.load(), 0);
        }
    }
}
