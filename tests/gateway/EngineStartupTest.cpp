// Start-up against the simulated modem: the line-speed search, the set-up
// commands and the sweep of the storages before anything else.

#include "EngineSupport.h"

namespace {

const char kStartupScenario[] = R"(capacity SM 10
message SM 1 0 0891683108200105F0040D91683115234576F8000821503041709023044F60597D
message SM 3 0 07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37
)";

class EngineStartupTest : public EngineTest {
protected:
    EngineStartupTest() : EngineTest(ModemSim::Options{kStartupScenario, 9600}) {}
};

TEST_F(EngineStartupTest, FindsTheModemAt9600InitialisesItAndReadsEveryStoredMessageFirst)
{
    // Requests placed before the modem is ready wait for the start-up reads.
    queueSend("13912345678", "你好");
    DialNumber.set("13700000000");
    ASSERT_TRUE(waitUntil([&] { return sendQueueSize() == 0; }, 30000)) << sim.log();

    EXPECT_EQ(channel->Comm->BaudRate(), br9600);
    EXPECT_EQ(reports.port.front(), sim.port() + "打开成功");
    EXPECT_EQ(reports.device.front(), "正在查找短信设备...");
    EXPECT_EQ(reports.device.back(), "短信设备已经连接");
    EXPECT_EQ(reports.count("GSM模块初始化成功!"), 1);

    std::vector<std::string> order;
    for (const std::string &c : sim.commands())
        if (c != "AT")
            order.push_back(c);
    const std::vector<std::string> expected = {"AT+CNMI=1,1", "AT+CMGF=0",      "AT+GSN",           "AT+CPMS=\"SM\"",
                                               "AT+CMGL=4",   "AT+CMGR=1",      "AT+CMGD=1",        "AT+CMGR=3",
                                               "AT+CMGD=3",   "AT+CPMS=\"ME\"", "ATDT13700000000;", "AT+CMGS=19"};
    EXPECT_EQ(order, expected) << sim.log();

    EXPECT_EQ(column("select * from sms_toread order by MESSAGE", "PHONE"),
              (std::vector<std::string>{"27838890001", "13513254678"}));
    EXPECT_EQ(column("select * from sms_toread order by MESSAGE", "MESSAGE"),
              (std::vector<std::string>{"hellohello ", "你好 "}));
    EXPECT_EQ(column("select * from sms_toread", "READFLAG"), (std::vector<std::string>{"未读", "未读"}));
    EXPECT_EQ(sim.control("show SM"), "OK 0 10");
}

class EngineFastStartTest : public EngineTest {
protected:
    EngineFastStartTest() : EngineTest(ModemSim::Options{"", 115200}) {}
};

TEST_F(EngineFastStartTest, ModemThatChecksTheLineSpeedIsFoundAt115200AtOnce)
{
    waitSettled();
    std::vector<std::string> search;
    for (const std::string &c : sim.commands()) {
        if (c == "AT+CNMI=1,1")
            break;
        search.push_back(c);
    }
    EXPECT_EQ(search, std::vector<std::string>{"AT"}) << sim.log();
    EXPECT_EQ(sim.log().find("RX-LOST"), std::string::npos);
    EXPECT_EQ(channel->Comm->BaudRate(), br115200);
}

// A desk killed between "AT+CMGS=" and the end of its PDU left the modem at
// its send prompt, where the search's "AT" would be PDU text for ever.
class EnginePromptLeftTest : public EngineTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.started()) << sim.errorOutput();
        TXComm port;
        port.setDeviceName(sim.port());
        port.setBaudRate(br115200);
        port.OpenDevice();
        port.SendString("AT+CMGS=19\r");
        ASSERT_TRUE(sim.waitForLog("> ")) << sim.log();
        port.CloseDevice();
        EngineTest::SetUp();
    }
};

TEST_F(EnginePromptLeftTest, PendingPromptIsCancelledAndTheModemFound)
{
    queueSend("13912345678", "你好");
    ASSERT_TRUE(waitUntil([&] { return sendQueueSize() == 0; }, 30000)) << sim.log();
    const auto pdus = sim.pdus();
    ASSERT_EQ(pdus.size(), 2u);
    EXPECT_EQ(pdus[0].outcome, "cancelled");
    EXPECT_EQ(pdus[1].outcome, "sent");
    EXPECT_EQ(pdus[1].text, kHelloPdu);
    EXPECT_EQ(reports.count("GSM模块初始化成功!"), 1);
}

} // namespace
