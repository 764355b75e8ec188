// Messages the modem announces: notice, storage, read, the row, the lists
// and the log, then the delete; in each of the three codings.

#include "EngineSupport.h"

namespace {

class EngineReceiveTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        waitSettled();
    }
    // Injects a message and waits for the delete of its index.
    void receive(const std::string &pdu)
    {
        const std::string reply = sim.control("sms " + pdu);
        ASSERT_EQ(reply.rfind("OK SM ", 0), 0u) << reply;
        index = reply.substr(6);
        const std::size_t before = sim.commandsStarting("AT+CMGD=").size();
        ASSERT_TRUE(waitUntil([&] { return sim.commandsStarting("AT+CMGD=").size() > before && channel->IsIdle(); }))
            << sim.log();
    }
    std::string index;
};

TEST_F(EngineReceiveTest, Ucs2MessageIsStoredListedLoggedThenDeleted)
{
    receive("0891683108200105F0040D91683115234576F8000821503041709023044F60597D");
    std::vector<std::string> tail;
    for (const std::string &c : sim.commands())
        if (c.rfind("AT+C", 0) == 0)
            tail.push_back(c);
    ASSERT_GE(tail.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(tail.end() - 3, tail.end()),
              (std::vector<std::string>{"AT+CPMS=\"SM\"", "AT+CMGR=" + index, "AT+CMGD=" + index}));

    EXPECT_EQ(column("select * from sms_toread", "PHONE"), std::vector<std::string>{"13513254678"});
    EXPECT_EQ(column("select * from sms_toread", "MESSAGE"), std::vector<std::string>{"你好 "});
    EXPECT_EQ(column("select * from sms_toread", "READFLAG"), std::vector<std::string>{"未读"});
    EXPECT_EQ(column("select * from sms_toread where TIME is not null", "READFLAG").size(), 1u);

    ASSERT_EQ(reports.rows.size(), 1u);
    EXPECT_EQ(reports.rows[0].caption, "+8613513254678");
    EXPECT_EQ(reports.rows[0].text, "你好");
    EXPECT_EQ(reports.rows[0].time, "12-5-3 14:7:9:32");
    const std::string line = "收信：中心号码:+8613800210500 发送人:+8613513254678 内容:你好 时间:12-5-3 14:7:9:32";
    EXPECT_EQ(reports.count("收到一条消息"), 1);
    EXPECT_EQ(reports.count(line), 1);
    EXPECT_EQ(reports.log.back(), line);
    EXPECT_EQ(smsLog(), gbk::fromUtf8(line) + "\r\n");
    ASSERT_EQ(locked([&] { return channel->RecvList.size(); }), 1u);
    EXPECT_EQ(locked([&] { return channel->RecvList.front()->GetUD(); }), "你好");
    EXPECT_EQ(sim.control("show SM"), "OK 0 30");
}

TEST_F(EngineReceiveTest, SevenBitAndEightBitMessages)
{
    receive("07917283010010F5040BC87238880900F10000993092516195800AE8329BFD4697D9EC37");
    receive("0891683108200105F0040D91683115234576F80004215030417090230568656C6C6F");
    EXPECT_EQ(column("select * from sms_toread order by MESSAGE", "MESSAGE"),
              (std::vector<std::string>{"hello ", "hellohello "}));
    // A sender without "+86" is stored as shown.
    EXPECT_EQ(column("select * from sms_toread where MESSAGE='hellohello '", "PHONE"),
              std::vector<std::string>{"27838890001"});
    EXPECT_EQ(column("select * from sms_toread where MESSAGE='hello '", "PHONE"),
              std::vector<std::string>{"13513254678"});
    ASSERT_EQ(reports.rows.size(), 2u);
    EXPECT_EQ(reports.rows[0].time, "99-3-29 15:16:59:8");
    EXPECT_EQ(locked([&] { return channel->RecvList.size(); }), 2u);
}

TEST_F(EngineReceiveTest, MessageNotStoredInTheDatabaseStaysInTheModem)
{
    DataModule1 = nullptr;
    ASSERT_EQ(sim.control("sms 0891683108200105F0040D91683115234576F8000821503041709023044F60597D"), "OK SM 1");
    ASSERT_TRUE(waitUntil([&] { return reports.logHas("消息存入数据库失败"); })) << sim.log();
    ASSERT_TRUE(waitUntil([&] { return channel->IsIdle(); }));
    EXPECT_TRUE(sim.commandsStarting("AT+CMGD").empty());
    EXPECT_EQ(sim.control("show SM"), "OK 1 30 1:1");
    DataModule1 = dm.get();
}

} // namespace
