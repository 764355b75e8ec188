// SIM phone-book import into the client tables, and dialling.

#include "EngineSupport.h"

namespace {

const char kBookScenario[] = R"(capacity PB 60
contact 1 +8613800138000 张三
contact 2 10086
contact-raw 3 13912345678 NOT HEX
contact 4 13700000000 一二三四五六七八九
contact 5 111 ABCDEFGH
contact 6 222 ABCDEFGX
contact 8 333 after the gap
)";

std::string manyContacts()
{
    std::string s = "capacity PB 60\n";
    for (int i = 1; i <= 55; ++i)
        s += "contact " + std::to_string(i) + " 1390000" + std::to_string(1000 + i) + " C" + std::to_string(i) + "\n";
    return s;
}

class PhoneBookTest : public EngineTest {
protected:
    explicit PhoneBookTest(std::string scenario = kBookScenario) : EngineTest(ModemSim::Options{std::move(scenario), 0})
    {
    }
    void SetUp() override
    {
        EngineTest::SetUp();
        waitSettled();
    }
    void import()
    {
        PhoneBookIndex.set(1);
        ASSERT_TRUE(waitUntil([&] { return PhoneBookIndex.get() == -1 && channel->IsIdle(); }, 30000)) << sim.log();
    }
    std::string contactOf(const std::string &key)
    {
        const auto v = column("select * from client where CLIENTID=" + QuotedStr(key), "CONTACT");
        return v.size() == 1 ? v[0] : "<" + std::to_string(v.size()) + " rows>";
    }
};

TEST_F(PhoneBookTest, EntriesBecomeContactsInThePhoneBookGroupUpToTheFirstEmptyIndex)
{
    {
        TAdoQuery q(dm->Database1, "setup");
        ado::appendRow(q, "client", {{"CLIENTID", "MB_张三"}, {"NAME", "老张"}, {"CONTACT", "old"}});
    }
    import();
    EXPECT_EQ(sim.commandsStarting("AT+CPBR="),
              (std::vector<std::string>{"AT+CPBR=1", "AT+CPBR=2", "AT+CPBR=3", "AT+CPBR=4", "AT+CPBR=5", "AT+CPBR=6",
                                        "AT+CPBR=7"}));
    // An existing key only gets its number.
    EXPECT_EQ(contactOf("MB_张三"), "+8613800138000");
    EXPECT_EQ(column("select * from client where CLIENTID='MB_张三'", "NAME"), std::vector<std::string>{"老张"});
    EXPECT_EQ(contactOf("MB_"), "10086");
    EXPECT_EQ(contactOf("MB_NOT HEX"), "13912345678");
    EXPECT_EQ(contactOf("MB_一二三四五六七"), "13700000000");
    EXPECT_EQ(contactOf("MB_ABCDEFG"), "222"); // the second of the same seven updates the first
    EXPECT_EQ(column("select * from client_cgroup where GROUPNAME='手机电话本' order by CLIENTID", "CLIENTID"),
              (std::vector<std::string>{"MB_", "MB_ABCDEFG", "MB_NOT HEX", "MB_一二三四五六七"}));
}

TEST_F(PhoneBookTest, EntriesReadDuringAnotherProgramsLockAreStoredAfterItInTheirOrder)
{
    auto other = anotherProgramsLock();
    import();
    EXPECT_EQ(sim.commandsStarting("AT+CPBR=").size(), 7u);
    EXPECT_TRUE(reports.logHas("数据库正被其他程序占用，电话本记录稍后再存:MB_张三"));
    EXPECT_TRUE(column("select * from client", "CLIENTID").empty());
    other->RollbackTrans();
    // The last entry updates the contact of the one before it.
    ASSERT_TRUE(waitUntil([&] { return contactOf("MB_ABCDEFG") == "222"; })) << sim.log();
    EXPECT_EQ(contactOf("MB_张三"), "+8613800138000");
    EXPECT_EQ(column("select * from client_cgroup order by CLIENTID", "CLIENTID"),
              (std::vector<std::string>{"MB_", "MB_ABCDEFG", "MB_NOT HEX", "MB_一二三四五六七", "MB_张三"}));
    EXPECT_FALSE(reports.logHas("电话本记录存入数据库失败"));
}

class PhoneBookLimitTest : public PhoneBookTest {
protected:
    PhoneBookLimitTest() : PhoneBookTest(manyContacts()) {}
};

TEST_F(PhoneBookLimitTest, ImportStopsAfterIndex50)
{
    import();
    const auto reads = sim.commandsStarting("AT+CPBR=");
    ASSERT_EQ(reads.size(), 50u);
    EXPECT_EQ(reads.back(), "AT+CPBR=50");
    EXPECT_EQ(column("select * from client_cgroup", "CLIENTID").size(), 50u);
    EXPECT_EQ(contactOf("MB_C50"), "13900001050");
}

class PhoneBookErrorTest : public PhoneBookTest {
protected:
    PhoneBookErrorTest() : PhoneBookTest("capacity PB 2\ncontact 1 10086 A\ncontact 2 10010 B\n") {}
};

TEST_F(PhoneBookErrorTest, ImportStopsOnError)
{
    import();
    EXPECT_EQ(sim.commandsStarting("AT+CPBR="), (std::vector<std::string>{"AT+CPBR=1", "AT+CPBR=2", "AT+CPBR=3"}));
    EXPECT_EQ(contactOf("MB_B"), "10010");
}

TEST_F(PhoneBookTest, DialWritesAtdtAndItsResultEndsTheExchange)
{
    DialNumber.set("13912345678");
    ASSERT_TRUE(waitUntil([&] { return !sim.commandsStarting("ATDT").empty(); })) << sim.log();
    EXPECT_EQ(sim.commandsStarting("ATDT"), std::vector<std::string>{"ATDT13912345678;"});
    EXPECT_EQ(DialNumber.get(), "");
    ASSERT_TRUE(waitUntil([&] { return channel->IsIdle(); }));
    EXPECT_NE(sim.log().find("dial"), std::string::npos);
}

} // namespace
