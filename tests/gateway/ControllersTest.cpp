// Reply handling of the controllers, driven line by line on a pty channel:
// notices, the init handshake, reads that must not lose a message, and the
// phone-book entry and sender texts.

#include "EngineSupport.h"

#include <filesystem>
#include <optional>

namespace {

class ControllersTest : public ChannelTest {
protected:
    void startRead(int index)
    {
        ctr->AddReadIndex("", index);
        channel.Drive();
        written(std::string("AT+CMGR=").size() + std::to_string(index).size() + 1);
    }
    std::deque<TReadEntry> readQueue()
    {
        return locked([&] { return ctr->ReadQueue; });
    }
};

TEST(NoticeText, StorageAndWholeIndex)
{
    struct Case {
        const char *notice;
        const char *storage;
        std::optional<int> index;
    };
    const Case cases[] = {
        {"+CMTI: \"SM\",3", "SM", 3},
        {"+CMTI: \"ME\",101", "ME", 101},
        {"+CMTI: \"SM\", 7", "SM", 7},
        {"+CMTI: \"SM\"/\"ME\",123", "ME", 123}, // "ME" wins
        {"+CMTI: \"MT\",4", "", 4},
        {"+CMTI: \"SM\",x1", "SM", std::nullopt},
        {"+CMTI: \"SM\"", "SM", std::nullopt},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(TSMSCmtictr::StorageOf(c.notice), c.storage) << c.notice;
        EXPECT_EQ(TSMSCmtictr::IndexOf(c.notice), c.index) << c.notice;
    }
}

TEST_F(ControllersTest, NoticesAreServedOnceIdleOneStorageCommandForEachStorage)
{
    feed("+CMTI: \"SM\",3\r\n+CMTI: \"ME\",101\r\n+CMTI: \"SM\",4\r\n");
    EXPECT_EQ(writtenNow(), "");
    EXPECT_TRUE(channel.IsIdle());

    channel.Drive();
    EXPECT_EQ(written(13), "AT+CPMS=\"SM\"\r");
    EXPECT_EQ(locked([&] { return ctr->Current; }), ctr->CmtiCtr.get());
    feed("AT+CPMS=\"SM\"\r\r\n+CPMS: 2,30,2,30,2,30\r\n\r\nOK\r\n");
    EXPECT_TRUE(waiting()); // the 300 ms after the selection
    EXPECT_TRUE(readQueue().empty());
    runSteps(); // ... whose end starts the next exchange: the "ME" notice
    EXPECT_EQ(written(13), "AT+CPMS=\"ME\"\r");
    feed("OK\r\n");
    EXPECT_EQ(locked([&] { return ctr->SelectedStorage; }), "ME");
    runSteps();
    // The first read has started at once: its storage is selected again.
    EXPECT_EQ(locked([&] { return ctr->Current; }), ctr->RecvCtr.get());
    EXPECT_EQ(written(13), "AT+CPMS=\"SM\"\r");
    EXPECT_EQ(locked([&] { return ctr->RecvCtr->Index; }), 3);
    EXPECT_EQ(readQueue(), (std::deque<TReadEntry>{{"SM", 4}, {"ME", 101}}));
}

TEST_F(ControllersTest, NoticeWithAnotherStorageOrABadIndexOrARefusedStorage)
{
    // No storage command, so no "OK" will come: the exchange ends at once.
    feed("+CMTI: \"MT\",4\r\n");
    channel.Drive();
    EXPECT_EQ(writtenNow(), "");
    EXPECT_TRUE(channel.IsIdle());
    EXPECT_EQ(readQueue(), (std::deque<TReadEntry>{{"", 4}}));
    locked([&] {
        ctr->ReadQueue.clear();
        return 0;
    });

    feed("+CMTI: \"SM\",x1\r\n+CMTI: \"SM\"\r\n");
    channel.Drive();
    EXPECT_EQ(written(13), "AT+CPMS=\"SM\"\r");
    feed("OK\r\n");
    runSteps();
    EXPECT_TRUE(readQueue().empty());

    feed("+CMTI: \"ME\",5\r\n");
    channel.Drive();
    EXPECT_EQ(written(13), "AT+CPMS=\"ME\"\r");
    feed("+CMS ERROR: 302\r\n");
    EXPECT_TRUE(channel.IsIdle());
    EXPECT_TRUE(readQueue().empty());
    ASSERT_TRUE(waitUntil([&] { return reports.logHas("短信存储器ME无法选择"); }));
}

TEST_F(ControllersTest, NoticeDuringAnExchangeLeavesItsRepliesToIt)
{
    startRead(2);
    // The notice comes between the read's echo and its "OK".
    feed("AT+CMGR=2\r\r\n+CMTI: \"SM\",9\r\n");
    EXPECT_EQ(locked([&] { return ctr->Current; }), ctr->RecvCtr.get());
    feed("\r\nOK\r\n");
    EXPECT_TRUE(channel.IsIdle());
    // Served after the exchange.
    channel.Drive();
    EXPECT_EQ(written(13), "AT+CPMS=\"SM\"\r");
}

TEST_F(ControllersTest, InitCompletesOnlyOnAnOkAfterAnotherLine)
{
    locked([&] {
        ctr->Ready = 0; // as a search leaves it
        ctr->Current = ctr->InitCtr.get();
        ctr->InitCtr->State = TSMSCtr::csAwaiting;
        ctr->InitCtr->LineSeen = -1;
        return 0;
    });
    feed("OK\r\n");
    EXPECT_EQ(ctr->InitCtr->State, TSMSCtr::csAwaiting);
    feed("\r\n351234567890125\r\n\r\nOK\r\n");
    EXPECT_EQ(ctr->InitCtr->State, TSMSCtr::csSecondPhase);
    EXPECT_TRUE(waiting()); // 1000 ms before the next exchange
    EXPECT_EQ(locked([&] { return ctr->Ready; }), 1);
    runSteps();
    // The sweep of the storages follows.
    EXPECT_EQ(locked([&] { return ctr->Current; }), ctr->ListCtr.get());
    EXPECT_EQ(written(13), "AT+CPMS=\"SM\"\r");
    EXPECT_EQ(locked([&] { return ctr->SweepQueue; }), std::deque<std::string>{"ME"});
    ASSERT_TRUE(waitUntil([&] { return reports.count("GSM模块初始化成功!") == 1; }));
    EXPECT_EQ(reports.device.back(), "短信设备已经连接");

    locked([&] {
        ctr->Current = ctr->InitCtr.get();
        ctr->InitCtr->State = TSMSCtr::csAwaiting;
        return 0;
    });
    feed("+CME ERROR: 10\r\n");
    EXPECT_EQ(ctr->Ready, 0);
    EXPECT_TRUE(waiting()); // 4000 ms before the next search
    runSteps();
    EXPECT_TRUE(channel.IsIdle());
    EXPECT_EQ(reports.count("GSM模块初始化失败!"), 1);
}

TEST_F(ControllersTest, NothingIsDeletedThatWasNotStored)
{
    // An empty index: a message the modem puts there meanwhile stays.
    startRead(2);
    feed("AT+CMGR=2\r\r\nOK\r\n");
    EXPECT_TRUE(channel.IsIdle());
    EXPECT_FALSE(waiting());
    // A garbled header; then a message that cannot be stored (no database).
    startRead(3);
    feed("AT+CMGR=3\r\r\n+CMG#: 0,,24\r\n" + kFirstDeliver + "\r\n\r\nOK\r\n");
    EXPECT_TRUE(channel.IsIdle());
    ASSERT_EQ(DataModule1, nullptr);
    startRead(1);
    feed("+CMGR: 0,,24\r\n" + kFirstDeliver + "\r\n\r\nOK\r\n");
    EXPECT_TRUE(channel.IsIdle());
    EXPECT_FALSE(waiting());
    EXPECT_EQ(writtenNow(), ""); // no AT+CMGD
    ASSERT_TRUE(waitUntil([&] { return reports.logHas("消息存入数据库失败，未从短信模块中删除(序号1)"); }));
    // Neither shown nor listed for READ nor logged as taken in.
    EXPECT_TRUE(reports.rows.empty());
    EXPECT_TRUE(locked([&] { return channel.RecvList.empty(); }));
    EXPECT_FALSE(reports.logHas("收到一条消息"));
    EXPECT_EQ(dir.read("SMSLog.TXT"), "");
}

TEST(ReadReply, HeaderLengthAndTheOnePduLineItAnnounces)
{
    EXPECT_EQ(TSMSRecvCtr::AnnouncedLength("+CMGR: 0,,24"), 24);
    EXPECT_EQ(TSMSRecvCtr::AnnouncedLength("+CMGR: 1,\"Li, Lei\", 24 "), 24);
    EXPECT_EQ(TSMSRecvCtr::AnnouncedLength("+CMGR: 0,,"), std::nullopt);
    EXPECT_EQ(TSMSRecvCtr::AnnouncedLength("+CMGR: 0,,2x"), std::nullopt);
    EXPECT_EQ(TSMSRecvCtr::AnnouncedLength("+CMGR: 0"), std::nullopt);
    EXPECT_EQ(TSMSRecvCtr::AnnouncedLength("RING,24"), std::nullopt);

    struct Case {
        std::string line;
        int length;
        bool pdu;
    };
    std::string lower = kFirstDeliver;
    for (char &c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const Case cases[] = {
        {kFirstDeliver, 24, true},
        {lower, 24, true},
        {kFirstDeliver, 25, false},
        {kFirstDeliver + "00", 24, false},
        {kFirstDeliver.substr(0, 64), 24, false},
        {"00" + kFirstDeliver.substr(18), 24, true}, // no centre part
        {"RING", 0, false},
        {"", 0, false},
        {kFirstDeliver.substr(0, 30) + " " + kFirstDeliver.substr(31), 24, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TSMSRecvCtr::IsPduLine(c.line, c.length), c.pdu) << c.line << " " << c.length;
}

TEST_F(ControllersTest, PduThatIsNotWholeStaysInTheModemAndItsReplyIsLoggedAtTheThirdRead)
{
    // The header announces 25 octets; the line holds 24: not the PDU.
    const std::string reply = "+CMGR: 0,,25\r\nRING\r\n" + kFirstDeliver + "\r\n\r\nOK\r\n";
    const std::string raw = "无法解码的消息(序号4)留在短信模块中:+CMGR: 0,,25 RING " + kFirstDeliver;
    for (int read = 1; read <= TSMSRecvCtr::kRawLogReads + 1; ++read) {
        startRead(4);
        feed(reply);
        EXPECT_TRUE(channel.IsIdle()) << read;
        EXPECT_FALSE(waiting()) << read;
        EXPECT_EQ(writtenNow(), "") << read;
    }
    engine::flushReports();
    EXPECT_EQ(reports.count("消息无法解码，未从短信模块中删除(序号4)"), TSMSRecvCtr::kRawLogReads);
    EXPECT_EQ(reports.count(raw), 1);
    EXPECT_EQ(dir.read("SMSLog.TXT"), gbk::fromUtf8(raw) + "\r\n");
    EXPECT_TRUE(locked([&] { return channel.RecvList.empty(); }));
}

TEST_F(ControllersTest, ReadSelectsItsStorageFirstWhenAnotherIsSelected)
{
    locked([&] { return ctr->SelectedStorage = "ME"; });
    ctr->AddReadIndex("SM", 5);
    channel.Drive();
    EXPECT_EQ(written(13), "AT+CPMS=\"SM\"\r");
    feed("AT+CPMS=\"SM\"\r\r\n+CPMS: 1,30,1,30,1,30\r\n\r\nOK\r\n");
    EXPECT_EQ(written(10), "AT+CMGR=5\r");
    EXPECT_EQ(locked([&] { return ctr->SelectedStorage; }), "SM");

    // Once selected it is not selected again; a refused selection reads nothing.
    locked([&] { return ctr->Current = nullptr; });
    ctr->AddReadIndex("SM", 6);
    channel.Drive();
    EXPECT_EQ(written(10), "AT+CMGR=6\r");
    locked([&] { return ctr->Current = nullptr; });
    ctr->AddReadIndex("ME", 7);
    ctr->AddReadIndex("ME", 7); // queued once
    EXPECT_EQ(readQueue().size(), 1u);
    channel.Drive();
    EXPECT_EQ(written(13), "AT+CPMS=\"ME\"\r");
    feed("+CMS ERROR: 302\r\n");
    EXPECT_TRUE(channel.IsIdle());
    EXPECT_EQ(writtenNow(), "");
}

TEST_F(ControllersTest, DialEndsOnItsResultNotOnItsEcho)
{
    for (const char *result : {"OK", "NO CARRIER", "+CME ERROR: 3", "BUSY"}) {
        DialNumber.set("10086");
        channel.Drive();
        EXPECT_EQ(written(11), "ATDT10086;\r");
        feed("ATDT10086;\r\r\n");
        EXPECT_EQ(locked([&] { return ctr->Current; }), ctr->DialCtr.get());
        feed(std::string(result) + "\r\n");
        EXPECT_TRUE(channel.IsIdle()) << result;
    }
}

TEST_F(ControllersTest, ReadErrorEndsTheReadWithoutADelete)
{
    startRead(40);
    feed("+CMS ERROR: 321\r\n");
    EXPECT_TRUE(channel.IsIdle());
    EXPECT_EQ(writtenNow(), "");
}

TEST_F(ControllersTest, MessageWhosePduLineWasTooLongStaysInTheModem)
{
    startRead(1);
    feed("+CMGR: 0,,170\r\n" + std::string(340, '0') + "\r\n\r\nOK\r\n");
    EXPECT_TRUE(channel.IsIdle());
    EXPECT_EQ(writtenNow(), "");
    EXPECT_TRUE(locked([&] { return channel.RecvList.empty(); }));
    ASSERT_TRUE(waitUntil([&] { return reports.logHas("消息过长未能读取"); }));
}

TEST(PhoneBookEntry, NumberAndNameFromTheCollectedReply)
{
    auto parse = [](const std::string &entry) {
        std::string number, name;
        TCpbrCtr::ParseEntry("AT+CPBR=1\rAT+CPBR=1" + entry, number, name);
        return std::make_pair(number, name);
    };
    EXPECT_EQ(parse("+CPBR: 1,\"+8613800138000\",145,\"5F204E09\""),
              std::make_pair(std::string("+8613800138000"), std::string("张三")));
    // Eight characters: the first seven.
    EXPECT_EQ(parse("+CPBR: 2,\"10086\",129,\"00410042004300440045004600470048\"").second, "ABCDEFG");
    EXPECT_EQ(parse("+CPBR: 3,\"10086\",129,\"\"").second, "");
    EXPECT_EQ(parse("+CPBR: 4,\"10086\",129,\"0041004\"").second, "A"); // odd last octet dropped
    EXPECT_EQ(parse("+CPBR: 5,\"10086\",129,\"0041").second, "");       // no closing quote
    // A name that is not hex is taken as the text it is.
    EXPECT_EQ(parse("+CPBR: 6,\"13912345678\",129,\"Li Lei Han\"").second, "Li Lei ");
}

TEST(ReceivedPhone, SenderWithoutTheCountryCode)
{
    EXPECT_EQ(TSMSRecvCtr::PhoneOf("+8613912345678"), "13912345678");
    EXPECT_EQ(TSMSRecvCtr::PhoneOf("+86139123456789999"), "139123456789"); // at most twelve
    EXPECT_EQ(TSMSRecvCtr::PhoneOf("10086"), "10086");
    EXPECT_EQ(TSMSRecvCtr::PhoneOf("8613912345678"), "8613912345678");
}

TEST(SmsLogFile, CreatedWhenMissingAppendedInGbkWithCrLf)
{
    WorkDir dir;
    ASSERT_TRUE(smslog::append("收信：内容:你好"));
    ASSERT_TRUE(smslog::append("second"));
    EXPECT_EQ(dir.read("SMSLog.TXT"), gbk::fromUtf8("收信：内容:你好") + "\r\nsecond\r\n");
}

TEST(SmsLogFile, UnwritableLogIsReportedNotThrown)
{
    WorkDir dir;
    std::filesystem::create_directory(dir.file("SMSLog.TXT"));
    EXPECT_FALSE(smslog::append("lost"));
}

} // namespace
