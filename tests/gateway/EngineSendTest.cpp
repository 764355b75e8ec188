// Sends through the simulated modem: the PDU on the wire, retries after
// "ERROR", the end of a message that fails four times, a slow network, a
// module that resets at its prompt, and notices that come in the middle of
// a send.

#include "EngineSupport.h"

#include <cmath>

namespace {

const std::string kSendLine = "发送消息，中心号:13800210500 手机号:+8613912345678 内容:你好";

class EngineSendTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        waitSettled();
    }
    bool queueEmpties()
    {
        return waitUntil([&] { return sendQueueSize() == 0 && channel->IsIdle(); }, 30000);
    }
};

TEST_F(EngineSendTest, PduOnTheWireCarriesTheNumberWith86AndTheText)
{
    queueSend("13912345678", "你好");
    ASSERT_TRUE(queueEmpties()) << sim.log();
    const auto pdus = sim.pdus();
    ASSERT_EQ(pdus.size(), 1u);
    EXPECT_EQ(pdus[0].outcome, "sent");
    EXPECT_EQ(pdus[0].length, 19);
    EXPECT_EQ(pdus[0].text, kHelloPdu);
    ASSERT_TRUE(waitUntil([&] { return reports.count("消息发送成功") == 1; }));
    EXPECT_EQ(reports.count(kSendLine), 1);
    EXPECT_EQ(smsLog(), gbk::fromUtf8(kSendLine) + "\r\n");
}

TEST_F(EngineSendTest, ErrorAfterThePduRetriesThroughTheWindowsCurrentCentre)
{
    ASSERT_EQ(sim.control("fail pdu 1"), "OK");
    queueSend("13912345678", "你好");
    reports.setServiceCentre("13900000000");
    ASSERT_TRUE(queueEmpties()) << sim.log();
    const auto pdus = sim.pdus();
    ASSERT_EQ(pdus.size(), 2u);
    EXPECT_EQ(pdus[0].outcome, "failed");
    EXPECT_EQ(pdus[0].text, kHelloPdu);
    EXPECT_EQ(pdus[1].outcome, "sent");
    EXPECT_EQ(pdus[1].text.substr(0, 18), "0891683109000000F0");
    EXPECT_EQ(pdus[1].text.substr(18), kHelloPdu.substr(18));
    ASSERT_TRUE(waitUntil([&] { return reports.count("消息发送成功") == 1; }));
    EXPECT_EQ(reports.count("消息发送失败"), 1);
}

TEST_F(EngineSendTest, FourFailuresDropTheMessageWithALogLine)
{
    ASSERT_EQ(sim.control("fail pdu 9"), "OK");
    queueSend("13912345678", "你好");
    ASSERT_TRUE(queueEmpties()) << sim.log();
    const auto pdus = sim.pdus();
    ASSERT_EQ(pdus.size(), 4u);
    for (const auto &p : pdus)
        EXPECT_EQ(p.outcome, "failed");
    const std::string dropped = "消息四次发送失败，已放弃，手机号:+8613912345678 内容:你好";
    ASSERT_TRUE(waitUntil([&] { return reports.count(dropped) == 1; }));
    EXPECT_EQ(reports.count("消息发送失败"), 4);
    const std::string attempt = gbk::fromUtf8(kSendLine) + "\r\n";
    EXPECT_EQ(smsLog(), attempt + attempt + attempt + attempt + gbk::fromUtf8(dropped) + "\r\n");
}

TEST_F(EngineSendTest, ErrorToTheLengthCommandWaitsForTheBusyLimitAndTheSearch)
{
    ASSERT_EQ(sim.control("fail cmgs 1"), "OK");
    queueSend("13912345678", "你好");
    ASSERT_TRUE(queueEmpties()) << sim.log();
    EXPECT_EQ(reports.count("消息发送失败，请检查SIM卡是否插好"), 1);
    EXPECT_EQ(reports.count("GSM模块初始化成功!"), 2); // searched again after the busy limit
    ASSERT_EQ(sim.pdus().size(), 1u);
    EXPECT_EQ(sim.pdus()[0].outcome, "sent");
}

TEST_F(EngineSendTest, SlowNetworksAnswerIsAwaitedAndTheMessageGoesOnce)
{
    for (const int answerMs : {12000, 50000}) {
        SCOPED_TRACE(answerMs);
        const std::size_t before = sim.pdus().size();
        const std::string logBefore = smsLog();
        const auto smsLogLines = std::count(logBefore.begin(), logBefore.end(), '\n');
        ASSERT_EQ(sim.control("hold " + std::to_string(std::lround(answerMs * engineclock::scale()))), "OK");
        queueSend("13912345678", "你好");
        ASSERT_TRUE(queueEmpties()) << sim.log();
        const auto pdus = sim.pdus();
        ASSERT_EQ(pdus.size(), before + 1);
        EXPECT_EQ(pdus.back().outcome, "sent");
        const std::string log = smsLog();
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), smsLogLines + 1); // one attempt
        // Nothing was written to the modem while it waited for the network.
        const std::string simLog = sim.log();
        const std::size_t held = simLog.rfind("EV result held");
        ASSERT_NE(held, std::string::npos);
        EXPECT_EQ(simLog.find(" RX ", held), simLog.find(" RX ", simLog.find("+CMGS: ", held))) << simLog;
    }
    ASSERT_TRUE(waitUntil([&] { return reports.count("消息发送成功") == 2; }));
    EXPECT_FALSE(reports.logHas("已放弃"));
}

TEST_F(EngineSendTest, ModuleThatResetsAtItsPromptFourTimesStillSendsTheMessageOnce)
{
    ASSERT_EQ(sim.control("fail prompt 4 300"), "OK");
    queueSend("13912345678", "你好");
    ASSERT_TRUE(waitUntil([&] { return sendQueueSize() == 0; }, 120000)) << sim.log();
    const auto pdus = sim.pdus();
    ASSERT_EQ(pdus.size(), 1u);
    EXPECT_EQ(pdus[0].outcome, "sent");
    EXPECT_EQ(sim.commandsStarting("AT+CMGS").size(), 5u);
    ASSERT_TRUE(waitUntil([&] { return reports.count("消息发送成功") == 1; }));
    EXPECT_FALSE(reports.logHas("已放弃"));
}

TEST_F(EngineSendTest, ModemThatDropsRightAfterTakingThePduFourTimesGetsItFourTimesAndNoFailure)
{
    ASSERT_EQ(sim.control("fail taken 4 1000"), "OK");
    queueSend("13912345678", "你好");
    ASSERT_TRUE(waitUntil([&] { return sendQueueSize() == 0; }, 60000)) << sim.log();
    const auto pdus = sim.pdus();
    ASSERT_EQ(pdus.size(), 4u); // one copy per drop, none after the fourth
    for (const auto &p : pdus)
        EXPECT_EQ(p.outcome, "sent");
    // The wait for the answer ended with the device: the search began while
    // it was away, not a minute later.
    EXPECT_TRUE(reports.logHas("打开失败")) << sim.log();
    ASSERT_TRUE(waitUntil([&] { return reports.logHas("不再重发"); }));
    EXPECT_EQ(reports.logCount("结果未知，将再次发送"), 3);
    EXPECT_TRUE(reports.logHas("消息已交给短信模块4次，始终未收到发送结果，不再重发，手机号:+8613912345678 内容:你好"));
    EXPECT_FALSE(reports.logHas("已放弃"));
    EXPECT_FALSE(reports.logHas("消息发送失败"));
}

TEST_F(EngineSendTest, NoticeInsideTheSendIsServedAfterItAndTheMessageGoesOnce)
{
    ASSERT_EQ(sim.control("hold"), "OK");
    queueSend("13912345678", "你好");
    ASSERT_TRUE(waitUntil([&] { return sim.log().find("result held") != std::string::npos; })) << sim.log();
    // The modem announces the message after the send's result; this notice
    // comes in the middle of the exchange.
    ASSERT_EQ(sim.control("sms SM:7 " + kFirstDeliver), "OK SM 7");
    ASSERT_EQ(sim.control("raw 0D0A2B434D54493A2022534D222C370D0A"), "OK"); // +CMTI: "SM",7
    ASSERT_TRUE(waitUntil([&] { return locked([&] { return ctr->Notices.size(); }) == 1u; })) << sim.log();
    EXPECT_EQ(locked([&] { return ctr->Current; }), ctr->SendCtr.get());
    ASSERT_EQ(sim.control("release"), "OK");
    ASSERT_TRUE(queueEmpties()) << sim.log();
    ASSERT_TRUE(waitUntil([&] { return settled(*channel); })) << sim.log();

    const auto pdus = sim.pdus();
    ASSERT_EQ(pdus.size(), 1u);
    EXPECT_EQ(pdus[0].outcome, "sent");
    EXPECT_EQ(reports.count("消息发送成功"), 1);
    EXPECT_EQ(reports.count("消息发送失败"), 0);
    std::vector<std::string> after;
    for (const std::string &c : sim.commands())
        if (c.rfind("AT+CMGS", 0) == 0 || c.rfind("AT+CMGR", 0) == 0 || c.rfind("AT+CMGD", 0) == 0)
            after.push_back(c);
    EXPECT_EQ(after, (std::vector<std::string>{"AT+CMGS=19", "AT+CMGR=7", "AT+CMGD=7"}));
    EXPECT_EQ(column("select * from sms_toread", "MESSAGE"), std::vector<std::string>{"你好 "});
    EXPECT_EQ(sim.control("show SM"), "OK 0 30");
}

} // namespace
