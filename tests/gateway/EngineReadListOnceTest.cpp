// A received message stands in the READ list exactly once across a kill at
// any step between its store and its delete, and is not deleted from the
// modem while its READ entry cannot be put on disk.

#include "EngineSupport.h"

#include <QDir>

namespace {

class EngineReadListOnceTest : public HostedEngineTest {
protected:
    void SetUp() override
    {
        HostedEngineTest::SetUp();
        engine::setReports(&reports);
    }
    void TearDown() override
    {
        host.reset();
        engine::flushReports();
        engine::setReports(nullptr);
        HostedEngineTest::TearDown();
    }

    void start()
    {
        host = std::make_unique<TEngineHost>();
        ASSERT_TRUE(host->Start().empty());
        channel = Gateway->Channels[1].get();
    }
    std::vector<std::string> queuedFlags() { return column("select * from sms_received", "QUEUED"); }
    std::vector<std::string> deletes() const { return sim.commandsStarting("AT+CMGD="); }
    void waitEmptied() { ::waitEmptied(sim, *channel); }
    int dropsAtDelete() const { return sim.logCount("fault: the device goes at AT+CMGD"); }
    bool logHas(const std::string &part)
    {
        engine::flushReports();
        return reports.logHas(part);
    }

    RecordingReports reports;
    TSMSChannel *channel = nullptr;
};

TEST_F(EngineReadListOnceTest, AKillAtAnyStepBetweenStoreAndDeleteListsTheMessageOnce)
{
    const std::string readReply = gbk::fromUtf8("OA:+8613513254678 TIME:12-5-3 14:7:9:32 UD:你好");
    struct Case {
        const char *stop;
        bool inFile;    // the READ entry had reached "ReadBuf.TXT"
        bool marked;    // and its row said so
        bool readTaken; // a client had READ it before the kill
        int listed;     // entries for READ after the restart
    };
    const Case cases[] = {
        {"after the commit, before the append", false, false, false, 1},
        {"after the append, before the mark", true, false, false, 1},
        {"after the mark, before the delete", true, true, false, 1},
        {"after the mark and a READ, before the delete", true, true, true, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stop);
        ASSERT_NO_FATAL_FAILURE(start());
        ASSERT_TRUE(waitUntil([&] { return settled(*channel); })) << sim.log();
        const int drops = dropsAtDelete();
        ASSERT_EQ(sim.control("drop cmgd"), "OK");
        ASSERT_EQ(sim.control("sms " + kFirstDeliver), "OK SM 1");
        ASSERT_TRUE(waitUntil([&] { return dropsAtDelete() > drops; }, 30000)) << sim.log();
        // By the time the delete went out, the entry was on disk and its row marked.
        EXPECT_EQ(dir.read("ReadBuf.TXT"), kFirstDeliver + "\r\n");
        EXPECT_EQ(queuedFlags(), std::vector<std::string>{"1"});
        if (c.readTaken) {
            TcpClient client(Gateway->CMPPSet->Port());
            ASSERT_EQ(client.ask("DavoRodu:READ", readReply.size()), readReply);
        }
        host.reset();
        // What a kill at the earlier step leaves behind.
        if (!c.inFile)
            dir.write("ReadBuf.TXT", "");
        if (!c.marked)
            dm->Database1.Execute("update sms_received set QUEUED=0");
        if (c.readTaken) {
            ASSERT_EQ(dir.read("ReadBuf.TXT"), "");
        }

        ASSERT_EQ(sim.control("back"), "OK");
        ASSERT_NO_FATAL_FAILURE(start());
        waitEmptied();
        EXPECT_EQ(column("select * from sms_toread", "MESSAGE"), std::vector<std::string>{"你好 "});
        EXPECT_EQ(queuedFlags(), std::vector<std::string>{"1"});
        EXPECT_EQ(receivedCount(*channel), c.listed);
        EXPECT_EQ(dir.read("ReadBuf.TXT"), c.listed ? kFirstDeliver + "\r\n" : "");
        if (c.listed) {
            TcpClient client(Gateway->CMPPSet->Port());
            EXPECT_EQ(client.ask("DavoRodu:READ", readReply.size()), readReply);
            EXPECT_EQ(client.ask("DavoRodu:READ", 5), "EMPTY");
        }
        EXPECT_TRUE(logHas("消息此前已存入数据库，从短信模块中删除"));

        host.reset();
        dir.write("ReadBuf.TXT", "");
        dm->Database1.Execute("delete from sms_toread");
        dm->Database1.Execute("delete from sms_received");
        reports.log.clear();
    }
}

TEST_F(EngineReadListOnceTest, AMessageWhoseReadEntryCannotBeWrittenStaysInTheModemUntilItIs)
{
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(waitUntil([&] { return settled(*channel); })) << sim.log();
    QDir folder(QString::fromStdString(dir.path()));
    folder.remove("ReadBuf.TXT");
    ASSERT_TRUE(folder.mkdir("ReadBuf.TXT"));

    ASSERT_EQ(sim.control("sms " + kFirstDeliver), "OK SM 1");
    ASSERT_TRUE(waitUntil([&] { return logHas("消息未能写入ReadBuf.TXT，暂留在短信模块中(序号1)"); }, 30000))
        << sim.log();
    // Read again meanwhile: still listed once, still kept.
    ASSERT_EQ(sim.control("raw " + noticeHex("SM", 1)), "OK");
    const auto reads = [&] {
        const std::vector<std::string> commands = sim.commands();
        return std::count(commands.begin(), commands.end(), "AT+CMGR=1");
    };
    ASSERT_TRUE(waitUntil([&] { return reads() >= 2 && settled(*channel); }, 30000)) << sim.log();
    EXPECT_TRUE(deletes().empty());
    EXPECT_EQ(sim.control("show SM"), "OK 1 30 1:1");
    EXPECT_EQ(receivedCount(*channel), 1);
    EXPECT_EQ(queuedFlags(), std::vector<std::string>{"0"});
    EXPECT_TRUE(logHas("队列文件写入失败:ReadBuf.TXT"));

    // Room again: the writer puts it on disk, then the row is marked and the modem's copy goes.
    ASSERT_TRUE(folder.rmdir("ReadBuf.TXT"));
    waitEmptied();
    EXPECT_EQ(dir.read("ReadBuf.TXT"), kFirstDeliver + "\r\n");
    EXPECT_EQ(queuedFlags(), std::vector<std::string>{"1"});
    EXPECT_EQ(deletes(), std::vector<std::string>{"AT+CMGD=1"});
    EXPECT_EQ(receivedCount(*channel), 1);
    EXPECT_EQ(column("select * from sms_toread", "MESSAGE"), std::vector<std::string>{"你好 "});
}

} // namespace
