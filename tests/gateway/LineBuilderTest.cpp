// Reply lines from port bytes: framing, the send prompt, the length limit,
// the routing of notices and typed lines.

#include "EngineSupport.h"

namespace {

class LineBuilderTest : public ChannelTest {
protected:
    void SetUp() override
    {
        ChannelTest::SetUp();
        EngineLock lock;
        ctr->Current = &probe;
    }
    std::vector<std::string> lines()
    {
        return locked([&] { return probe.lines; });
    }
    bool linesReach(std::size_t n)
    {
        return waitUntil([&] { return lines().size() >= n; }, 5000);
    }

    ProbeCtr probe{nullptr};
};

const std::string kReadReply = "AT+CMGR=1\r\r\n+CMGR: 0,,24\r\n"
                               "0891683108200105F0040D91683115234576F8000821503041709023044F60597D\r\n\r\nOK\r\n";
const std::vector<std::string> kReadLines = {
    "AT+CMGR=1", "+CMGR: 0,,24", "0891683108200105F0040D91683115234576F8000821503041709023044F60597D", "", "OK"};

TEST_F(LineBuilderTest, ReplyInOneChunkAndByteByByteGiveTheSameLines)
{
    pty.write(kReadReply);
    ASSERT_TRUE(linesReach(kReadLines.size()));
    EXPECT_EQ(lines(), kReadLines);

    locked([&] {
        probe.lines.clear();
        return 0;
    });
    for (char c : kReadReply) {
        pty.write(std::string(1, c));
        QTest::qWait(1);
    }
    ASSERT_TRUE(linesReach(kReadLines.size()));
    EXPECT_EQ(lines(), kReadLines);
}

TEST_F(LineBuilderTest, AnyByteClearsTheReplyWaitBeforeALineIsComplete)
{
    locked([&] { return ctr->ReplyWait = 30; });
    pty.write("AT");
    ASSERT_TRUE(waitUntil([&] { return locked([&] { return ctr->ReplyWait; }) == 0; }, 5000));
    EXPECT_TRUE(lines().empty());
}

TEST_F(LineBuilderTest, PromptIsALineAtOnceAndTheBlankStartsTheNext)
{
    pty.write("\r\n> ");
    ASSERT_TRUE(linesReach(2));
    EXPECT_EQ(lines(), (std::vector<std::string>{"", ">"}));
    EXPECT_EQ(locked([&] { return ctr->LineGet->Line; }), " ");

    // A partial line before the prompt is thrown away.
    feed("\nabc> x\n");
    EXPECT_EQ(lines(), (std::vector<std::string>{"", ">", " ", ">", " x"}));
}

TEST_F(LineBuilderTest, LinesLongerThan338AreDropped)
{
    const std::string longest(338, 'A');
    const std::string tooLong(339, 'B');
    locked([&] { return ctr->ReplyWait = 7; });
    feed(tooLong + "\r\n");
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(locked([&] { return ctr->ReplyWait; }), 7);
    EXPECT_EQ(locked([&] { return ctr->DroppedLines; }), 1);

    feed(longest + "\r\n");
    EXPECT_EQ(lines(), std::vector<std::string>{longest});
    EXPECT_EQ(locked([&] { return ctr->ReplyWait; }), 0);
}

TEST_F(LineBuilderTest, NoticeIsNotedAndTheRunningExchangeKeepsItsReplies)
{
    feed("\r\n+CMTI: \"SM\",3\r\nOK\r\n");
    EXPECT_EQ(lines(), (std::vector<std::string>{"", "OK"}));
    EXPECT_EQ(locked([&] { return ctr->Notices; }), std::deque<std::string>{"+CMTI: \"SM\",3"});
    EXPECT_EQ(writtenNow(), "");
}

TEST_F(LineBuilderTest, AnExchangeInATimedStepGetsNoLines)
{
    locked([&] {
        ctr->After(60000, [] {});
        return 0;
    });
    feed("OK\r\n");
    EXPECT_TRUE(lines().empty());
}

TEST_F(LineBuilderTest, WithNothingRunningLinesAreDropped)
{
    locked([&] {
        ctr->Current = nullptr;
        return 0;
    });
    feed("OK\r\nERROR\r\n");
    EXPECT_TRUE(lines().empty());
    EXPECT_TRUE(channel.IsIdle());
}

TEST_F(LineBuilderTest, TypedLineIsHandledAsAModemLineAndNotWritten)
{
    ctr->TypedLine("+CMTI: \"ME\",12");
    EXPECT_EQ(writtenNow(), "");
    EXPECT_EQ(locked([&] { return ctr->Notices; }), std::deque<std::string>{"+CMTI: \"ME\",12"});

    // Served as the modem's own notice would be.
    locked([&] {
        ctr->Current = nullptr;
        return 0;
    });
    channel.Drive();
    EXPECT_EQ(written(13), "AT+CPMS=\"ME\"\r");
    ASSERT_TRUE(waitUntil([&] { return monitorText().find("AT+CPMS") != std::string::npos; }, 2000));
    EXPECT_EQ(monitorText(), "+CMTI: \"ME\",12\nAT+CPMS=\"ME\"\n");
}

} // namespace
