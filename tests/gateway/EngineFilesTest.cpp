// The engine's own files under faults: the send queue file holds a message
// as soon as the send path returns, lines that hold no whole message are
// kept aside instead of being loaded or lost, a desk's hand-over survives a
// kill at any step, and files that cannot be written are said once in the
// log pane.

#include "EngineFilesFixture.h"
#include "support/Repeat.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

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

TEST_F(EngineFilesTest, AReceivedMessageIsOnDiskWhenItIsListedAndAnEntryLoadedStillCountsOnceReadTakesIt)
{
    std::string lower = kFirstDeliver;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    dir.write("ReadBuf.TXT", " " + lower + "\r\n");
    ASSERT_TRUE(host->Start().empty());
    EXPECT_TRUE(host->ReceivedKept(kFirstDeliver));
    EXPECT_FALSE(host->ReceivedKept(kSecondDeliver));

    // As READ takes it: the file follows, and what the load found still counts.
    {
        EngineLock lock;
        channel().RecvList.pop_front();
        channel().QueuesChanged();
    }
    ASSERT_TRUE(waitUntil([&] { return dir.read("ReadBuf.TXT").empty(); }, 5000));
    EXPECT_TRUE(host->ReceivedKept(kFirstDeliver));

    // No event has run: the line was written and synced by the listing itself.
    receive(channel(), kSecondDeliver);
    EXPECT_EQ(dir.read("ReadBuf.TXT"), kSecondDeliver + "\r\n");
    EXPECT_TRUE(host->ReceivedKept(kSecondDeliver));
    EXPECT_EQ(logged("队列文件"), 0);
}

TEST_F(EngineFilesTest, SendBufLinesWithBlanksAroundAreSentAndLinesSkippedAreKeptAside)
{
    const std::vector<std::string> junk = {
        "ZZ",                                      // not hex
        kHelloPdu.substr(0, kHelloPdu.size() - 4), // truncated
        kHelloPdu.substr(0, kHelloPdu.size() - 1), // an odd digit short
        kHelloPdu + "00",                          // longer than its lengths say
        kFirstDeliver,                             // a received message
        "00110000910008A800",                      // no destination digits
    };
    std::string aside;
    for (const std::string &line : junk)
        aside += line + "\r\n";
    std::string file = kHelloPdu + " \r\n\r\n" + aside;      // a trailing blank, then a blank line
    file += "\t" + kSecondSubmit + "\t\r\n" + kSecondSubmit; // TABs; no last line end
    dir.write("SendBuf.TXT", file);

    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start);
        ASSERT_TRUE(host->Start().empty());
        EXPECT_EQ(queuedHex(channel()), (std::vector<std::string>{kHelloPdu, kSecondSubmit, kSecondSubmit}));
        EXPECT_EQ(logged("不是完整的短信"), start == 0 ? static_cast<int>(junk.size()) : 0);
        EXPECT_EQ(dir.read("SendBuf.TXT.skipped"), aside);
        // The file is put right once the skipped lines are safe.
        EXPECT_TRUE(waitUntil(
            [&] { return dir.read("SendBuf.TXT") == kHelloPdu + "\r\n" + repeat(kSecondSubmit + "\r\n", 2); }, 5000))
            << dir.read("SendBuf.TXT");
        host = std::make_unique<TEngineHost>();
        reports.log.clear();
    }
}

TEST_F(EngineFilesTest, ReadBufLinesCutShortAreNeverServedAndAreKeptAside)
{
    const std::vector<std::string> junk = {
        kSecondDeliver.substr(0, kSecondDeliver.size() - 2), // the last character cut off
        kFirstDeliver.substr(0, 30),                         // the sender cut
        "DavoRodu:READ", std::string("\0\x1A", 2),           // control bytes alone: no blank line
    };
    std::string file = kFirstDeliver + "\r\n";
    std::string aside;
    for (const std::string &line : junk)
        aside += line + "\r\n";
    file += aside;
    file += kSecondDeliver + " \r\n\r\n" + junk[0]; // a blank line is an empty entry; no last line end
    dir.write("ReadBuf.TXT", file);

    ASSERT_TRUE(host->Start().empty());
    std::vector<std::string> senders;
    locked([&] {
        for (const auto &pdu : channel().RecvList)
            senders.push_back(pdu->GetOA() + ":" + pdu->GetUD());
        return 0;
    });
    EXPECT_EQ(senders, (std::vector<std::string>{"+8613513254678:你好", "+8613912345678:第二条", ":"}));
    EXPECT_EQ(logged("ReadBuf.TXT第"), static_cast<int>(junk.size()) + 1);
    EXPECT_EQ(dir.read("ReadBuf.TXT.skipped"), aside + junk[0] + "\r\n");
    EXPECT_TRUE(waitUntil(
        [&] { return dir.read("ReadBuf.TXT") == kFirstDeliver + "\r\n" + kSecondDeliver + "\r\n\r\n"; }, 5000));
}

TEST_F(EngineFilesTest, ASkippedLineIsNeverErasedWhileItCannotBeKeptAside)
{
    dir.write("SendBuf.TXT", "junk\r\n" + kHelloPdu + "\r\n");
    ASSERT_TRUE(mkdir("SendBuf.TXT.skipped"));
    ASSERT_TRUE(host->Start().empty());
    {
        EngineLock lock; // as the message is sent
        channel().SendQueue.pop_front();
        channel().QueuesChanged();
    }
    ASSERT_TRUE(waitUntil([&] { return logged("队列文件写入失败:SendBuf.TXT") == 1; }, 5000));
    EXPECT_EQ(dir.read("SendBuf.TXT"), "junk\r\n" + kHelloPdu + "\r\n");

    // Tried again without another change.
    ASSERT_TRUE(rmdir("SendBuf.TXT.skipped"));
    EXPECT_TRUE(waitUntil([&] { return dir.read("SendBuf.TXT").empty(); }, 10000));
    EXPECT_EQ(dir.read("SendBuf.TXT.skipped"), "junk\r\n");
    EXPECT_TRUE(waitUntil([&] { return logged("队列文件已写入:SendBuf.TXT") == 1; }, 5000));
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

TEST_F(EngineFilesTest, AKillAtAnyStepOfAHandOverQueuesTheRowOnceOrNotAtAllAndNamesItUntilMarked)
{
    using Row = std::vector<std::string>;
    // Equal messages of two rows are two messages: the earlier one, marked,
    // must not pass for the later one.
    const Row earlier = {"1", "13912345678", "你好"};
    const Row row = {"2", "13912345678", "你好"};
    struct Files {
        std::string send, journal;
    };
    auto files = [&] { return Files{dir.read("SendBuf.TXT"), dir.read("HandOver.TXT")}; };
    struct Case {
        const char *end; // where the run ends: a kill, or a quit
        int queued;      // copies of the message at the next start
        bool unmarked;   // the row is named to the desk for its mark
    };
    const Case cases[] = {
        {"kill before", 1, false},  {"kill after naming", 1, false},   {"kill after the append", 2, true},
        {"quit unmarked", 2, true}, {"kill after the mark", 2, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.end);
        host.reset();
        for (const char *name : {"SendBuf.TXT", "HandOver.TXT"})
            ::unlink(dir.file(name).c_str());
        host = std::make_unique<TEngineHost>();
        ASSERT_TRUE(host->Start().empty());
        ASSERT_EQ(host->HandOver(earlier, "13912345678", "你好"), TEngineHost::THandOver::Queued);
        host->HandOverMarked(earlier);
        ASSERT_TRUE(waitUntil([&] { return dir.read("HandOver.TXT").empty(); }, 5000));
        const Files before = files();
        ASSERT_EQ(host->HandOver(row, "13912345678", "你好"), TEngineHost::THandOver::Queued);
        const Files after = files();
        ASSERT_NE(after.journal.find("PENDING"), std::string::npos);
        std::optional<Files> left; // what the kill leaves
        const std::string end = c.end;
        if (end == "kill before")
            left = before;
        else if (end == "kill after naming")
            left = Files{before.send, after.journal};
        else if (end == "kill after the append")
            left = after;
        else if (end == "kill after the mark") {
            host->HandOverMarked(row);
            ASSERT_TRUE(waitUntil([&] { return dir.read("HandOver.TXT").empty(); }, 5000));
            left = files();
        }
        host.reset(); // a quit; a kill's files are put back
        if (left) {
            dir.write("SendBuf.TXT", left->send);
            dir.write("HandOver.TXT", left->journal);
        }

        host = std::make_unique<TEngineHost>();
        ASSERT_TRUE(host->Start().empty());
        EXPECT_EQ(queuedHex(channel()), std::vector<std::string>(c.queued, kHelloPdu));
        EXPECT_EQ(host->TakeUnmarkedHandOvers(), c.unmarked ? std::vector<Row>{row} : std::vector<Row>{});
        EXPECT_TRUE(host->TakeUnmarkedHandOvers().empty()); // once
        host->HandOverMarked(row);
        EXPECT_TRUE(waitUntil([&] { return dir.read("HandOver.TXT").empty(); }, 5000)) << dir.read("HandOver.TXT");
    }
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
