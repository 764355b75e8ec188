// Every received message stored once and nothing deleted unstored: a kill
// or a drop between the store and the delete, junk inside a read's answer,
// an empty index, a store that fails, a deleted database file and another
// program's lock.

#include "EngineSupport.h"

#include <unistd.h>

namespace {

class EngineReceiveOnceTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        waitSettled();
    }
    std::vector<std::string> messages() { return column("select * from sms_toread", "MESSAGE"); }
    void waitEmptied() { ::waitEmptied(sim, *channel); }
    int readList() { return receivedCount(*channel); }
};

TEST_F(EngineReceiveOnceTest, KilledOrDroppedBetweenStoreAndDeleteIsStoredOnceAndDeletedAfterwards)
{
    struct Case {
        bool killed;
        std::string pdu, text;
    };
    const Case cases[] = {{false, kFirstDeliver, "你好 "}, {true, kSecondDeliver, "第二条 "}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.killed ? "killed" : "dropped");
        const int drops = sim.logCount("fault: the device goes at AT+CMGD");
        const std::size_t rows = messages().size();
        // Killed: the device is back before the engine starts again.
        ASSERT_EQ(sim.control(c.killed ? "drop cmgd" : "drop cmgd 300"), "OK");
        ASSERT_EQ(sim.control("sms " + c.pdu).rfind("OK SM", 0), 0u);
        ASSERT_TRUE(waitUntil([&] { return sim.logCount("fault: the device goes at AT+CMGD") > drops; }, 30000))
            << sim.log();
        EXPECT_EQ(messages().size(), rows + 1);
        if (c.killed) {
            stopEngine();
            ASSERT_EQ(sim.control("back"), "OK");
            startEngine();
        }
        waitEmptied();
        EXPECT_EQ(column("select * from sms_toread where MESSAGE=" + QuotedStr(c.text), "PHONE").size(), 1u);
        EXPECT_EQ(messages().size(), rows + 1);
        EXPECT_TRUE(reports.logHas("消息此前已存入数据库，从短信模块中删除"));
        // The restarted engine lists nothing for READ a second time.
        EXPECT_EQ(readList(), c.killed ? 0 : 1);
    }
}

TEST_F(EngineReceiveOnceTest, RingNoticeAndJunkInsideTheReadAnswerLeaveTheRightMessage)
{
    for (const char *junk : {"RING", "+CMTI: \"SM\",7", "4F60597D", "0891#junk"})
        ASSERT_EQ(sim.control(std::string("junk ") + junk), "OK");
    ASSERT_EQ(sim.control("sms " + kFirstDeliver), "OK SM 1");
    // The notice inside the answer is served afterwards: index 7 is read, and not deleted.
    ASSERT_TRUE(waitUntil([&] { return !sim.commandsStarting("AT+CMGR=7").empty(); }, 30000)) << sim.log();
    waitEmptied();
    EXPECT_EQ(messages(), std::vector<std::string>{"你好 "});
    EXPECT_EQ(column("select * from sms_toread", "PHONE"), std::vector<std::string>{"13513254678"});
    EXPECT_EQ(sim.commandsStarting("AT+CMGD="), std::vector<std::string>{"AT+CMGD=1"});
    ASSERT_EQ(reports.rows.size(), 1u);
    EXPECT_EQ(reports.rows[0].text, "你好");
}

TEST_F(EngineReceiveOnceTest, EmptyIndexIsNotDeletedSoAMessageThatComesThereIsRead)
{
    ASSERT_EQ(sim.control("raw " + noticeHex("SM", 5)), "OK");
    ASSERT_TRUE(waitUntil([&] { return !sim.commandsStarting("AT+CMGR=5").empty() && settled(*channel); }))
        << sim.log();
    EXPECT_TRUE(sim.commandsStarting("AT+CMGD=").empty());
    ASSERT_EQ(sim.control("sms SM:5 " + kFirstDeliver), "OK SM 5");
    waitEmptied();
    EXPECT_EQ(messages(), std::vector<std::string>{"你好 "});
    EXPECT_EQ(sim.commandsStarting("AT+CMGD="), std::vector<std::string>{"AT+CMGD=5"});
}

TEST_F(EngineReceiveOnceTest, StoreThatFailsThenAReadAgainGivesOneReadEntry)
{
    DataModule1 = nullptr;
    ASSERT_EQ(sim.control("sms " + kFirstDeliver), "OK SM 1");
    const std::string failed = "消息存入数据库失败，未从短信模块中删除(序号1)";
    for (int reads = 1; reads <= 2; ++reads) {
        if (reads > 1) {
            ASSERT_EQ(sim.control("raw " + noticeHex("SM", 1)), "OK");
        }
        ASSERT_TRUE(waitUntil([&] {
            return std::count_if(reports.log.begin(), reports.log.end(),
                                 [&](const std::string &l) { return l.rfind(failed, 0) == 0; }) == reads &&
                   settled(*channel);
        })) << sim.log();
        EXPECT_EQ(readList(), 0);
    }
    EXPECT_TRUE(reports.rows.empty());
    EXPECT_EQ(sim.control("show SM"), "OK 1 30 1:1");

    DataModule1 = dm.get();
    ASSERT_EQ(sim.control("raw " + noticeHex("SM", 1)), "OK");
    waitEmptied();
    TcpClient client(gateway->CMPPSet->Port());
    EXPECT_EQ(client.ask("DavoRodu:QUERY", 1), "1");
    EXPECT_EQ(reports.rows.size(), 1u);
    EXPECT_EQ(messages(), std::vector<std::string>{"你好 "});
}

TEST_F(EngineReceiveOnceTest, DeletedDatabaseFileTakesNothingAndTheModemKeepsTheMessage)
{
    ASSERT_EQ(::unlink("dbvord.mdb"), 0);
    ASSERT_EQ(sim.control("sms " + kFirstDeliver), "OK SM 1");
    ASSERT_TRUE(waitUntil([&] { return reports.logHas("数据库文件已被删除，消息未存入，留在短信模块中(序号1)"); }))
        << sim.log();
    ASSERT_TRUE(waitUntil([&] { return settled(*channel); }));
    EXPECT_TRUE(sim.commandsStarting("AT+CMGD=").empty());
    EXPECT_EQ(sim.control("show SM"), "OK 1 30 1:1");
    EXPECT_EQ(readList(), 0);
    EXPECT_TRUE(reports.rows.empty());
}

TEST_F(EngineReceiveOnceTest, AnotherProgramsLockHoldsUpNeitherTheCommandPortNorTheModem)
{
    auto searches = [&] { return std::count(reports.device.begin(), reports.device.end(), "正在查找短信设备..."); };
    const auto searchesBefore = searches();
    auto other = anotherProgramsLock();
    ASSERT_EQ(sim.control("sms " + kFirstDeliver), "OK SM 1");
    ASSERT_TRUE(waitUntil([&] {
        return reports.logHas("数据库正被其他程序占用，消息暂留在短信模块中，稍后再存(序号1)");
    })) << sim.log();
    // Answered while the lock is still held.
    TcpClient client(gateway->CMPPSet->Port());
    EXPECT_EQ(client.ask("DavoRodu:QUERY", 1), "0");
    // Ten seconds of engine time and more: three keep-alives answered, the
    // store tried again meanwhile, the message kept in the modem.
    const auto keepAlives = [&] {
        const std::vector<std::string> commands = sim.commands();
        return std::count(commands.begin(), commands.end(), "AT");
    };
    const auto before = keepAlives();
    ASSERT_TRUE(waitUntil([&] { return keepAlives() >= before + 3; }, 30000)) << sim.log();
    EXPECT_EQ(searches(), searchesBefore);
    EXPECT_TRUE(sim.commandsStarting("AT+CMGD=").empty());
    EXPECT_TRUE(messages().empty());

    other->RollbackTrans();
    waitEmptied();
    EXPECT_EQ(messages(), std::vector<std::string>{"你好 "});
    EXPECT_EQ(client.ask("DavoRodu:QUERY", 1), "1");
    EXPECT_EQ(sim.commandsStarting("AT+CMGD="), std::vector<std::string>{"AT+CMGD=1"});
    EXPECT_EQ(searches(), searchesBefore);
    EXPECT_EQ(reports.count("收到一条消息"), 1);
    EXPECT_FALSE(reports.logHas("消息此前已存入数据库"));
}

} // namespace
