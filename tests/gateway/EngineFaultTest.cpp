// Faults of the modem and the line: silence, an over-long line, the device
// going away and coming back.

#include "EngineSupport.h"

namespace {

class EngineFaultTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        waitSettled();
    }
    // The engine still takes a message in.
    void stillReceives(std::size_t rows)
    {
        ASSERT_EQ(sim.control("sms " + kFirstDeliver).rfind("OK", 0), 0u);
        ASSERT_TRUE(waitUntil([&] { return column("select * from sms_toread", "PHONE").size() == rows; }, 30000))
            << sim.log();
    }
};

TEST_F(EngineFaultTest, SilentModemIsSearchedAgainAfterThirtyTicks)
{
    ASSERT_EQ(sim.control("mute 1"), "OK"); // the next keep-alive gets nothing
    ASSERT_TRUE(waitUntil([&] { return reports.count("GSM模块初始化成功!") == 2; }, 30000)) << sim.log();
    EXPECT_EQ(std::count(reports.device.begin(), reports.device.end(), "正在查找短信设备..."), 2);
    stillReceives(1);
}

TEST_F(EngineFaultTest, AMainThreadBusyLongerThanTheReplyWaitKeepsTheModem)
{
    queueSend("13912345678", "你好");
    // Replies wait unread meanwhile: well past the 30-tick and keep-alive limits.
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    ASSERT_TRUE(waitUntil([&] { return sendQueueSize() == 0 && settled(*channel); })) << sim.log();
    ASSERT_EQ(sim.pdus().size(), 1u);
    EXPECT_EQ(reports.count("GSM模块初始化成功!"), 1) << sim.log();
    EXPECT_EQ(std::count(reports.device.begin(), reports.device.end(), "正在查找短信设备..."), 1);
}

TEST_F(EngineFaultTest, LineOf339CharactersIsDroppedAndOf338Kept)
{
    ASSERT_EQ(sim.control("longline 339"), "OK");
    ASSERT_TRUE(waitUntil([&] { return locked([&] { return ctr->DroppedLines; }) == 1; })) << sim.log();
    ASSERT_EQ(sim.control("longline 338"), "OK");
    ASSERT_EQ(sim.control("longline 340"), "OK");
    ASSERT_TRUE(waitUntil([&] { return locked([&] { return ctr->DroppedLines; }) == 2; })) << sim.log();
    stillReceives(1);
}

TEST_F(EngineFaultTest, DeviceDroppedAndBackIsFoundAgain)
{
    auto searches = [&] { return std::count(reports.device.begin(), reports.device.end(), "正在查找短信设备..."); };
    const auto searchesBefore = searches();
    ASSERT_EQ(sim.control("drop"), "OK");
    // The search starts and finds nothing while the device is away (a
    // search that a slow machine started before the drop may still succeed).
    ASSERT_TRUE(waitUntil([&] { return searches() > searchesBefore; }, 30000)) << sim.log();
    const int found = reports.count("GSM模块初始化成功!");
    QTest::qWait(500);
    EXPECT_EQ(reports.count("GSM模块初始化成功!"), found) << sim.log();
    ASSERT_EQ(sim.control("back"), "OK");
    ASSERT_TRUE(waitUntil([&] { return reports.count("GSM模块初始化成功!") > found; }, 30000)) << sim.log();
    stillReceives(1);
}

} // namespace
