// The drive thread's stop, and reports crossing from it to the main thread.

#include "EngineSupport.h"

#include <thread>

namespace {

TEST(DriveThreadTest, StopEndsASearchThatFindsNoModem)
{
    WorkDir dir;
    PtyPair pty; // nobody answers
    RecordingReports reports;
    engineclock::setScale(0.1);
    resetEngineGlobals();
    ASSERT_TRUE(profile::writeString("CH1", "COMPORT", pty.slavePath(), "smsset.ini"));
    engine::setReports(&reports);
    {
        TGateWay gateway;
        gateway.Init("GW01");
        TDriveThread drive(&gateway);
        drive.Start();
        std::string seen;
        ASSERT_TRUE(waitUntil([&] {
            seen += pty.readAvailable();
            return seen.find("AT\r") != std::string::npos;
        }));
        drive.RequestStop();
        drive.Join();
        engine::flushReports();
        seen += pty.readAvailable();
        // The search was abandoned: no set-up command followed.
        EXPECT_EQ(seen.find("AT+CNMI"), std::string::npos);
        EXPECT_EQ(reports.device, std::vector<std::string>{"正在查找短信设备..."});
        EXPECT_EQ(locked([&] { return gateway.Channels[1]->ChannelCtr->Ready; }), 0);
    }
    engine::setReports(nullptr);
    resetEngineGlobals();
    engineclock::setScale(1.0);
}

TEST(EngineReportsTest, OtherThreadsReportInOrderOnTheMainThreadUntilWithdrawn)
{
    RecordingReports reports;
    engine::setReports(&reports);
    std::thread([] {
        engine::logLine("one");
        engine::deviceState("busy");
        engine::logLine("two");
    }).join();
    EXPECT_TRUE(reports.log.empty()); // not yet applied: queued for the main thread
    engine::logLine("three");         // the main thread's own report runs the queue first
    EXPECT_EQ(reports.log, (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(reports.device, std::vector<std::string>{"busy"});

    std::thread([] { engine::logLine("late"); }).join();
    engine::setReports(nullptr);
    QTest::qWait(20);
    EXPECT_EQ(reports.log.size(), 3u);
}

} // namespace
