// The engine's own files under faults: the send queue file holds a message
// as soon as the send path returns, junk in it is skipped, and files that
// cannot be written are said once in the log pane.

#include "EngineSupport.h"
#include "support/Repeat.h"

#include <QDir>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// "二" to 13912345678 through the centre 13800210500.
const std::string kSecondSubmit = "0891683108200105F011000D91683119325476F80008A8024E8C";

class EngineFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir.write("smsset.ini",
                  "[COMMON]\r\nSCA=+8613800210500\r\n\r\n[CH1]\r\nCOMPORT=" + dir.file("nomodem") + "\r\n");
        engineclock::setScale(0.1);
        resetEngineGlobals();
        engine::setReports(&reports);
    }
    void TearDown() override
    {
        host.reset();
        engine::flushReports();
        engine::setReports(nullptr);
        engineclock::setScale(1.0);
    }
    TSMSChannel &channel() { return *Gateway->Channels[1]; }
    bool mkdir(const std::string &name)
    {
        return QDir(QString::fromStdString(dir.path())).mkdir(QString::fromStdString(name));
    }
    bool rmdir(const std::string &name)
    {
        return QDir(QString::fromStdString(dir.path())).rmdir(QString::fromStdString(name));
    }
    int logged(const std::string &part)
    {
        engine::flushReports();
        return static_cast<int>(std::count_if(reports.log.begin(), reports.log.end(),
                                              [&](const std::string &l) { return l.find(part) != std::string::npos; }));
    }

    WorkDir dir;
    RecordingReports reports;
    std::unique_ptr<TEngineHost> host = std::make_unique<TEngineHost>();
};

TEST_F(EngineFilesTest, AQueuedMessageIsOnDiskWhenSendReturnsAndAMessageTakenOffFollows)
{
    ASSERT_TRUE(host->Start().empty());
    ASSERT_TRUE(host->Send("13912345678", "你好"));
    ASSERT_TRUE(host->Send("+8613912345678", "二"));
    // No event has run: the lines were written and synced by Send itself.
    EXPECT_EQ(dir.read("SendBuf.TXT"), kHelloPdu + "\r\n" + kSecondSubmit + "\r\n");

    // As a message sent or dropped leaves the queue.
    {
        EngineLock lock;
        channel().SendQueue.pop_front();
        channel().QueuesChanged();
    }
    EXPECT_TRUE(waitUntil([&] { return dir.read("SendBuf.TXT") == kSecondSubmit + "\r\n"; }, 5000));
    EXPECT_EQ(logged("队列文件"), 0);
}

TEST_F(EngineFilesTest, LinesThatAreNoWholeSubmitAreSkippedAndKeptUntilTheQueueIsNextWritten)
{
    const std::vector<std::string> junk = {
        "",                                        // blank
        "ZZ",                                      // not hex
        kHelloPdu.substr(0, kHelloPdu.size() - 4), // truncated
        kHelloPdu.substr(0, kHelloPdu.size() - 1), // an odd digit short
        kHelloPdu + "00",                          // longer than its lengths say
        kFirstDeliver,                             // a received message
        "00110000910008A800",                      // no destination digits
    };
    std::string file = kHelloPdu + "\r\n";
    for (const std::string &line : junk)
        file += line + "\r\n";
    file += kSecondSubmit; // without a last line end
    dir.write("SendBuf.TXT", file);

    ASSERT_TRUE(host->Start().empty());
    EXPECT_EQ(queuedHex(channel()), (std::vector<std::string>{kHelloPdu, kSecondSubmit}));
    EXPECT_EQ(logged("SendBuf.TXT第"), static_cast<int>(junk.size()));
    QTest::qWait(200);
    EXPECT_EQ(dir.read("SendBuf.TXT"), file);

    // A message queued is appended; one taken off has the file written anew.
    ASSERT_TRUE(host->Send("13912345678", "你好"));
    EXPECT_EQ(dir.read("SendBuf.TXT"), file + "\r\n" + kHelloPdu + "\r\n");
    {
        EngineLock lock;
        channel().SendQueue.pop_front();
        channel().QueuesChanged();
    }
    EXPECT_TRUE(
        waitUntil([&] { return dir.read("SendBuf.TXT") == kSecondSubmit + "\r\n" + kHelloPdu + "\r\n"; }, 5000));
}

TEST_F(EngineFilesTest, AQueueFileThatCannotBeWrittenIsSaidOnceAndTheMessagesGoOn)
{
    ASSERT_TRUE(mkdir("SendBuf.TXT"));
    EXPECT_EQ(host->Start().size(), 1u); // it cannot be read either
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(host->Send("13912345678", "你好"));
    EXPECT_EQ(queuedHex(channel()).size(), 3u);
    QTest::qWait(200); // the writer has tried too
    EXPECT_EQ(logged("队列文件写入失败:SendBuf.TXT"), 1);

    // Once it can be written again, it holds the whole queue.
    ASSERT_TRUE(rmdir("SendBuf.TXT"));
    ASSERT_TRUE(host->Send("13912345678", "二"));
    EXPECT_TRUE(waitUntil(
        [&] { return dir.read("SendBuf.TXT") == repeat(kHelloPdu + "\r\n", 3) + kSecondSubmit + "\r\n"; }, 5000))
        << dir.read("SendBuf.TXT");
    EXPECT_EQ(logged("队列文件写入失败"), 1);
}

TEST_F(EngineFilesTest, ALogFileThatCannotBeWrittenIsSaidOnceUntilItCanBeAgain)
{
    struct Case {
        const char *name;
        std::function<bool()> spoil, mend;
    };
    const std::string log = dir.file("SMSLog.TXT");
    std::vector<Case> cases = {{"directory", [&] { return mkdir("SMSLog.TXT"); }, [&] { return rmdir("SMSLog.TXT"); }}};
    if (::geteuid() != 0) // permissions do not hold for root
        cases.push_back({"read-only", [&] { return ::chmod(log.c_str(), 0444) == 0; },
                         [&] { return ::chmod(log.c_str(), 0644) == 0; }});
    int said = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ::unlink(log.c_str());
        ASSERT_TRUE(smslog::append("first"));
        if (std::string(c.name) == "directory")
            ::unlink(log.c_str());
        ASSERT_TRUE(c.spoil());
        EXPECT_FALSE(smslog::append("lost"));
        EXPECT_FALSE(smslog::append("lost too"));
        EXPECT_EQ(logged("日志文件SMSLog.TXT无法写入"), ++said);
        ASSERT_TRUE(c.mend());
        EXPECT_TRUE(smslog::append("back"));
        EXPECT_EQ(logged("日志文件SMSLog.TXT无法写入"), said);
    }
}

} // namespace
