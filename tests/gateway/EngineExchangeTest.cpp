// Incoming messages under load against the simulated modem: many at once, a
// storm of notices, a notice during the device search, an index of three
// digits and messages stored before the start. Every message must be stored
// once and then deleted; none may be left on the modem.

#include "EngineSupport.h"

#include "support/PduPieces.h"

#include <cstdio>
#include <set>

namespace {

// An SMS-DELIVER from +8613912345678 with an ASCII text in UCS-2.
std::string deliverHex(const std::string &text)
{
    char octet[3];
    std::snprintf(octet, sizeof octet, "%02X", static_cast<unsigned>(text.size() * 2));
    std::string ud;
    for (char c : text) {
        char unit[5];
        std::snprintf(unit, sizeof unit, "%04X", static_cast<unsigned char>(c));
        ud += unit;
    }
    return kCentre + "04" + kNumber + "0008" + kStamp + octet + ud;
}

class EngineExchangeTest : public EngineTest {
protected:
    explicit EngineExchangeTest(ModemSim::Options options = {"capacity SM 150\ncapacity ME 150\n", 0})
        : EngineTest(std::move(options))
    {
    }
    std::vector<std::string> messages() { return column("select * from sms_toread", "MESSAGE"); }
    // Waits until count rows are stored and the engine has nothing left to do.
    void waitStored(std::size_t count)
    {
        ASSERT_TRUE(waitUntil([&] { return messages().size() >= count && settled(*channel); }, 120000))
            << messages().size() << " stored\n"
            << sim.log().substr(0, 20000);
    }
    // Every stored text once, and each read index deleted only after its read.
    void expectStoredOnceAndDeleted(std::size_t count)
    {
        const std::vector<std::string> rows = messages();
        EXPECT_EQ(rows.size(), count);
        EXPECT_EQ(std::set<std::string>(rows.begin(), rows.end()).size(), count);
        EXPECT_EQ(sim.control("show SM").substr(0, 5), "OK 0 ");
        EXPECT_EQ(sim.control("show ME").substr(0, 5), "OK 0 ");
        std::string storage = "SM";
        std::set<std::string> read;
        for (const std::string &c : sim.commands()) {
            if (c.rfind("AT+CPMS=", 0) == 0) {
                storage = c.substr(9, 2);
            } else if (c.rfind("AT+CMGR=", 0) == 0) {
                read.insert(storage + c.substr(8));
            } else if (c.rfind("AT+CMGD=", 0) == 0) {
                EXPECT_EQ(read.count(storage + c.substr(8)), 1u) << c << " in " << storage << " before its read";
            }
        }
    }
};

TEST_F(EngineExchangeTest, HundredMessagesArrivingWithinSixSecondsAreEachStoredOnce)
{
    waitSettled();
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(sim.control("text 13912345678 message " + std::to_string(i)).rfind("OK SM ", 0), 0u);
        QTest::qWait(6); // 6 s of engine time in all
    }
    waitStored(100);
    expectStoredOnceAndDeleted(100);
}

TEST_F(EngineExchangeTest, StormOfNoticesStoresEachMessageOnce)
{
    waitSettled();
    for (int i = 1; i <= 10; ++i)
        ASSERT_EQ(sim.control("sms " + deliverHex("storm " + std::to_string(i))), "OK SM " + std::to_string(i));
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(sim.control("raw " + noticeHex("SM", 1 + i % 10)), "OK");
    waitStored(10);
    expectStoredOnceAndDeleted(10);
}

TEST_F(EngineExchangeTest, NoticeWithAThreeDigitIndexReadsThatIndex)
{
    waitSettled();
    ASSERT_EQ(sim.control("sms ME:101 " + kFirstDeliver), "OK ME 101");
    waitStored(1);
    expectStoredOnceAndDeleted(1);
    EXPECT_EQ(sim.commandsStarting("AT+CMGR="), std::vector<std::string>{"AT+CMGR=101"});
}

// Twenty unread messages in each storage when the engine starts.
std::string storedScenario()
{
    std::string s = "capacity SM 30\ncapacity ME 30\n";
    for (int i = 1; i <= 20; ++i) {
        s += "message SM " + std::to_string(i) + " 0 " + deliverHex("sim " + std::to_string(i)) + "\n";
        s += "message ME " + std::to_string(i + 5) + " 0 " + deliverHex("module " + std::to_string(i)) + "\n";
    }
    return s;
}

class EngineStoredTest : public EngineExchangeTest {
protected:
    EngineStoredTest() : EngineExchangeTest({storedScenario(), 0}) {}
};

TEST_F(EngineStoredTest, FortyMessagesStoredBeforeTheStartAreAllReadStoredAndDeleted)
{
    waitStored(40);
    expectStoredOnceAndDeleted(40);
}

// The search at 9600 takes several attempts; a notice meanwhile waits.
class EngineSearchNoticeTest : public EngineExchangeTest {
protected:
    EngineSearchNoticeTest() : EngineExchangeTest({"message SM 1 0 " + kFirstDeliver + "\n", 9600}) {}
};

TEST_F(EngineSearchNoticeTest, NoticeDuringTheSearchIsServedOnceTheModemIsFound)
{
    ASSERT_TRUE(waitUntil([] { return SearchingDevice.get(); }));
    ctr->TypedLine("+CMTI: \"SM\",1");
    waitStored(1);
    expectStoredOnceAndDeleted(1);
    EXPECT_EQ(reports.count("GSM模块初始化成功!"), 1);
}

} // namespace
