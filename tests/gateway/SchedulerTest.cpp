// The tick: which exchange starts first, the reply and busy timeouts, the
// keep-alive, the shut-down and the end of a message tried four times.

#include "EngineSupport.h"

namespace {

class SchedulerTest : public ChannelTest {
protected:
    void tick(int n = 1)
    {
        for (int i = 0; i < n; ++i)
            channel.Drive();
    }
    TSMSCtr *current()
    {
        return locked([&] { return ctr->Current; });
    }
    void endExchange()
    {
        locked([&] {
            ctr->Current = nullptr;
            return 0;
        });
    }
    void queueSend(const std::string &da, const std::string &text)
    {
        channel.QueueSend(TEasyLinkCtr::MakeSendPdu("13800210500", da, text));
    }
};

TEST_F(SchedulerTest, OneExchangePerIdleTickInPriorityOrder)
{
    queueSend("13912345678", "hi");
    PhoneBookIndex.set(50);
    DialNumber.set("10086");
    locked([&] {
        ctr->SweepQueue = {"ME"};
        ctr->Notices = {"+CMTI: \"SM\",8"};
        return 0;
    });
    ctr->AddReadIndex("", 7);

    tick();
    EXPECT_EQ(current(), ctr->CmtiCtr.get());
    EXPECT_EQ(written(13), "AT+CPMS=\"SM\"\r");
    endExchange();

    tick();
    EXPECT_EQ(current(), ctr->RecvCtr.get());
    EXPECT_EQ(written(10), "AT+CMGR=7\r");
    tick(); // busy: nothing new starts
    EXPECT_EQ(writtenNow(), "");
    endExchange();

    tick();
    EXPECT_EQ(current(), ctr->ListCtr.get());
    EXPECT_EQ(written(13), "AT+CPMS=\"ME\"\r");
    endExchange();

    tick();
    EXPECT_EQ(current(), ctr->DialCtr.get());
    EXPECT_EQ(written(11), "ATDT10086;\r");
    EXPECT_EQ(DialNumber.get(), "");
    endExchange();

    tick();
    EXPECT_EQ(current(), ctr->CpbrCtr.get());
    EXPECT_EQ(written(11), "AT+CPBR=50\r");
    EXPECT_EQ(PhoneBookIndex.get(), -1); // passed 50: the import ends
    endExchange();

    tick();
    EXPECT_EQ(current(), ctr->SendCtr.get());
    EXPECT_EQ(written(11), "AT+CMGS=19\r");
    EXPECT_EQ(locked([&] { return int(channel.SendQueue.front()->Tries); }), 1);
    EXPECT_EQ(locked([&] { return ctr->SendCtr->State; }), 2);
    ASSERT_TRUE(
        waitUntil([&] { return reports.logHas("发送消息，中心号:13800210500 手机号:+8613912345678 内容:hi"); }));
    EXPECT_NE(dir.read("SMSLog.TXT").find("\r\n"), std::string::npos);
}

TEST_F(SchedulerTest, NoByteWithinThirtyTicksOfAWriteSearchesTheModemAgain)
{
    ctr->AddReadIndex("", 1);
    tick();
    ASSERT_EQ(written(10), "AT+CMGR=1\r");
    EXPECT_EQ(locked([&] { return ctr->ReplyWait; }), 30);
    tick(29);
    EXPECT_EQ(locked([&] { return ctr->Ready; }), 1);
    EXPECT_EQ(current(), ctr->RecvCtr.get());
    tick();
    EXPECT_EQ(locked([&] { return ctr->Ready; }), 0);
    EXPECT_EQ(current(), nullptr);
    EXPECT_EQ(written(1), "\x1B"); // a prompt the modem may be left at is cancelled
}

TEST_F(SchedulerTest, SetUpWhoseLastAnswerIsLateIsWaitedForNotSearchedAgain)
{
    // As the set-up leaves it when its wait for the serial number's answer
    // ran out.
    const auto setUpWaiting = [&] {
        locked([&] {
            ctr->Ready = 0;
            ctr->Current = ctr->InitCtr.get();
            ctr->InitCtr->State = 2;
            ctr->ReplyWait = kReplyWaitTicks;
            return 0;
        });
    };
    // No answer at all: searched again once the reply wait ends.
    // A search, were one started, returns at once instead of hanging here.
    std::atomic<bool> stop{true};
    engineclock::StopScope scope(stop);

    setUpWaiting();
    tick(kReplyWaitTicks - 1);
    EXPECT_EQ(writtenNow(), "");
    tick();
    EXPECT_EQ(current(), nullptr);
    EXPECT_EQ(written(1), "\x1B");

    setUpWaiting();
    tick(5);
    EXPECT_EQ(writtenNow(), ""); // no search
    feed("490154203237518\r\nOK\r\n");
    EXPECT_EQ(locked([&] { return ctr->Ready; }), 1);
    EXPECT_EQ(locked([&] { return ctr->SweepQueue.size(); }), 2u);
}

TEST_F(SchedulerTest, AnExchangeStillRunningOnThe31stBusyTickIsEnded)
{
    ctr->AddReadIndex("", 1);
    tick();
    written(10);
    feed("AT+CMGR=1\r\n"); // replies began
    EXPECT_EQ(locked([&] { return ctr->ReplyWait; }), 0);
    tick(30);
    EXPECT_EQ(current(), ctr->RecvCtr.get());
    EXPECT_EQ(locked([&] { return ctr->Ready; }), 1);
    EXPECT_EQ(writtenNow(), "");
    tick();
    EXPECT_EQ(current(), nullptr);
    EXPECT_EQ(locked([&] { return ctr->Ready; }), 0);
    EXPECT_EQ(locked([&] { return ctr->BusyTicks; }), 0);
    EXPECT_EQ(written(1), "\x1B");
}

TEST_F(SchedulerTest, EleventhIdleTickWritesTheKeepAliveWithoutAMemoRecord)
{
    tick(10);
    EXPECT_EQ(writtenNow(), "");
    tick();
    EXPECT_EQ(written(3), "AT\r");
    EXPECT_EQ(locked([&] { return ctr->ReplyWait; }), 30);
    EXPECT_EQ(locked([&] { return ctr->IdleTicks; }), 0);
    QTest::qWait(20);
    EXPECT_EQ(monitorText(), "");

    // The answer's bytes clear the wait; its lines go nowhere.
    pty.write("AT\r\r\nOK\r\n");
    ASSERT_TRUE(waitUntil([&] { return locked([&] { return ctr->ReplyWait; }) == 0; }, 5000));
    EXPECT_TRUE(channel.IsIdle());
}

TEST_F(SchedulerTest, NothingStartsBeforeTheKeepAlivesAnswerEnds)
{
    // An answer that begins and never ends is ended like an exchange.
    tick(11);
    ASSERT_EQ(written(3), "AT\r");
    feed("AT\r\r\n"); // its echo only
    tick(30);
    ASSERT_EQ(locked([&] { return ctr->Ready; }), 1);
    tick();
    ASSERT_EQ(locked([&] { return ctr->Ready; }), 0);
    EXPECT_EQ(written(1), "\x1B");

    locked([&] { return ctr->Ready = 1; });
    tick(11);
    ASSERT_EQ(written(3), "AT\r");
    // Its echo has come, its "OK" not yet, when a notice arrives.
    feed("AT\r\r\n+CMTI: \"SM\",3\r\n");
    channel.Serve();
    tick();
    EXPECT_EQ(writtenNow(), "");
    feed("\r\nOK\r\n");
    channel.Serve();
    EXPECT_EQ(written(13), "AT+CPMS=\"SM\"\r");
    EXPECT_EQ(current(), ctr->CmtiCtr.get());
    EXPECT_FALSE(waiting()); // the keep-alive's "OK" was not taken for the selection's
}

TEST_F(SchedulerTest, KeepAliveOnAPortThatFailsStillAwaitsAnAnswer)
{
    channel.Comm->CloseDevice();
    tick(11);
    EXPECT_EQ(locked([&] { return ctr->ReplyWait; }), 30);
    tick(30);
    EXPECT_EQ(locked([&] { return ctr->Ready; }), 0);
}

TEST_F(SchedulerTest, ClosingStartsNothingAndWritesNoKeepAliveButEndsARunningExchange)
{
    ctr->AddReadIndex("", 4);
    DialNumber.set("10086");
    gateway.Closing = true;
    tick(20);
    EXPECT_EQ(writtenNow(), "");
    EXPECT_TRUE(channel.IsIdle());
    EXPECT_EQ(locked([&] { return ctr->IdleTicks; }), 0);

    locked([&] {
        ctr->Current = ctr->DelCtr.get();
        return 0;
    });
    tick(31);
    EXPECT_TRUE(channel.IsIdle());
    EXPECT_EQ(locked([&] { return ctr->Ready; }), 0);
}

TEST_F(SchedulerTest, MessageTriedFourTimesIsDroppedWithALogLine)
{
    queueSend("13912345678", "你好");
    for (int attempt = 1; attempt <= 4; ++attempt) {
        tick();
        ASSERT_EQ(current(), ctr->SendCtr.get());
        written(11);
        feed("ERROR\r\n"); // to the length command: only the busy limit ends it
        EXPECT_EQ(current(), ctr->SendCtr.get());
        endExchange();
    }
    tick();
    EXPECT_EQ(current(), nullptr);
    EXPECT_EQ(locked([&] { return channel.SendQueue.size(); }), 0u);
    EXPECT_EQ(locked([&] { return int(ctr->SendCtr->PDU->Tries); }), 0); // back on its own PDU
    tick();
    EXPECT_EQ(writtenNow(), ""); // no fifth attempt

    const std::string dropped = "消息四次发送失败，已放弃，手机号:+8613912345678 内容:你好";
    ASSERT_TRUE(waitUntil([&] { return reports.count(dropped) == 1; }));
    EXPECT_EQ(reports.count("消息发送失败，请检查SIM卡是否插好"), 4);
    const std::string log = dir.read("SMSLog.TXT");
    EXPECT_NE(log.find(gbk::fromUtf8(dropped) + "\r\n"), std::string::npos);
}

TEST_F(SchedulerTest, RefusedMessageWaitsLongerAfterEachAttemptWhileOthersGo)
{
    engineclock::setScale(1.0); // spells of seconds, far beyond a tick's delay under load
    queueSend("13900000001", "a");
    queueSend("13900000002", "b");
    TPDUSend *a = locked([&] { return channel.SendQueue.front().get(); });
    // One attempt of the message the tick takes, answered with reply.
    auto attempt = [&](const std::string &reply) {
        tick();
        EXPECT_EQ(written(11), "AT+CMGS=17\r");
        feed("> ");
        runSteps(); // the PDU 400 ms after the prompt
        EXPECT_EQ(written(53).back(), '\x1A');
        feed("\r\n" + reply + "\r\n"); // after the blank that follows the prompt
        EXPECT_TRUE(channel.IsIdle());
    };
    auto spell = [&] {
        return locked([&] { return std::chrono::duration<double>(a->RetryAt - engineclock::Clock::now()).count(); });
    };
    auto dueNow = [&] { locked([&] { return a->RetryAt = engineclock::Clock::now(); }); };

    attempt("ERROR");
    EXPECT_GT(spell(), 2.5);
    EXPECT_LE(spell(), 3.0);
    attempt("OK"); // b goes meanwhile
    EXPECT_EQ(locked([&] { return channel.SendQueue.size(); }), 1u);
    tick();
    EXPECT_EQ(writtenNow(), ""); // a still waits
    for (double expected : {6.0, 12.0, 12.0}) {
        dueNow();
        attempt("ERROR");
        EXPECT_GT(spell(), expected - 0.5);
        EXPECT_LE(spell(), expected);
    }
    // Four attempts: dropped at once, with its line.
    tick();
    EXPECT_EQ(locked([&] { return channel.SendQueue.size(); }), 0u);
    EXPECT_EQ(writtenNow(), "");
    ASSERT_TRUE(waitUntil([&] { return reports.logHas("消息四次发送失败，已放弃，手机号:+8613900000001"); }));
    EXPECT_EQ(reports.count("消息发送失败"), 4);
}

} // namespace
