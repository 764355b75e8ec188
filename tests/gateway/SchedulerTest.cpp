// The tick: which exchange starts first, the reply and busy timeouts, the
// keep-alive, the shut-down, which send attempts count and the end of a
// message refused four times.

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
    EXPECT_EQ(locked([&] { return int(channel.SendQueue.front()->Tries); }), 0); // counted once refused
    EXPECT_EQ(locked([&] { return ctr->SendCtr->State; }), TSMSCtr::csAwaiting);
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
            ctr->InitCtr->State = TSMSCtr::csAwaiting;
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

TEST_F(SchedulerTest, OnlyAPduRefusedCountsAnAttemptAndOneLeftUnansweredIsUnsettled)
{
    const std::string pdu = "0891683108200105F011000D91683119325476F80008A8044F60597D\x1A";
    auto prompt = [&] {
        feed("AT+CMGS=19\r\r\n> ");
        runSteps();
        ASSERT_EQ(written(pdu.size()), pdu);
        feed(pdu.substr(0, pdu.size() - 1) + "\r\n"); // its echo
    };
    // A search, were one started, returns at once instead of hanging here.
    std::atomic<bool> stop{true};
    engineclock::StopScope scope(stop);
    struct Case {
        const char *name;
        std::function<void()> play; // after the length command went
        int tries;
        bool searchAgain;
        int unsettled = 0;
    };
    const Case cases[] = {
        {"ERROR after the PDU", [&] { prompt(), feed("\r\nERROR\r\n"); }, 1, false},
        {"+CMS ERROR after the PDU", [&] { prompt(), feed("\r\n+CMS ERROR: 500\r\n"); }, 1, false},
        {"no answer to the PDU", [&] { prompt(), tick(kSendAnswerTicks + 1); }, 0, true, 1},
        {"no byte after the length command", [&] { tick(kReplyWaitTicks); }, 0, true},
        {"no prompt", [&] { feed("AT+CMGS=19\r\r\n"), tick(kBusyLimitTicks + 1); }, 0, true},
        {"ERROR to the length command", [&] { feed("AT+CMGS=19\r\r\n+CMS ERROR: 310\r\n"), tick(kBusyLimitTicks + 1); },
         0, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        queueSend("13912345678", "你好");
        tick();
        ASSERT_EQ(written(11), "AT+CMGS=19\r");
        c.play();
        EXPECT_EQ(current(), nullptr);
        EXPECT_EQ(locked([&] { return ctr->Ready; }), c.searchAgain ? 0 : 1);
        EXPECT_EQ(writtenNow(), c.searchAgain ? "\x1B" : "");
        locked([&] {
            ASSERT_EQ(channel.SendQueue.size(), 1u);
            TPDUSend *head = channel.SendQueue.front().get();
            EXPECT_EQ(head->Tries, c.tries);
            EXPECT_EQ(head->Unsettled, c.unsettled);
            // An attempt that did not count is not spaced either.
            EXPECT_EQ(head->RetryAt > engineclock::Clock::now(), c.tries > 0);
            ctr->SendCtr->Forget(head);
            channel.SendQueue.clear();
            ctr->Ready = 1;
        });
    }
}

TEST_F(SchedulerTest, PortThatFailsAtThePromptLeavesTheMessageUntouched)
{
    queueSend("13912345678", "你好");
    tick();
    ASSERT_EQ(written(11), "AT+CMGS=19\r");
    feed("> ");
    pty.closeMaster();
    runSteps(); // the PDU cannot be written
    EXPECT_EQ(current(), nullptr);
    EXPECT_EQ(locked([&] { return ctr->Ready; }), 0);
    EXPECT_EQ(locked([&] { return int(channel.SendQueue.front()->Tries); }), 0);
}

TEST_F(SchedulerTest, SentPdusAnswerIsAwaitedAMinuteWithNothingElseWritten)
{
    queueSend("13912345678", "你好");
    tick();
    written(11);
    feed("AT+CMGS=19\r\r\n> ");
    runSteps();
    written(57);
    ctr->AddReadIndex("", 4);
    feed("+CMTI: \"SM\",5\r\n");
    tick(kSendAnswerTicks); // past the busy limit and many keep-alives
    EXPECT_EQ(writtenNow(), "");
    EXPECT_EQ(current(), ctr->SendCtr.get());
    feed("\r\n+CMGS: 3\r\n\r\nOK\r\n");
    EXPECT_EQ(locked([&] { return channel.SendQueue.size(); }), 0u);
    tick();
    EXPECT_EQ(written(13), "AT+CPMS=\"SM\"\r"); // the notice, then the read
    ASSERT_TRUE(waitUntil([&] { return reports.count("消息发送成功") == 1; }));
}

TEST_F(SchedulerTest, LateAnswerSettlesTheMessageGivenUpAndItsFinalLineIsNobodyElses)
{
    queueSend("13912345678", "你好");
    TPDUSend *message = locked([&] { return channel.SendQueue.front().get(); });
    auto sendUnanswered = [&] {
        tick();
        ASSERT_EQ(written(11), "AT+CMGS=19\r");
        feed("AT+CMGS=19\r\r\n> ");
        runSteps();
        written(57);
        feed("0891683108200105F011000D91683119325476F80008A8044F60597D\r\n");
        tick(kSendAnswerTicks + 1);
        ASSERT_EQ(written(1), "\x1B");
        locked([&] { return ctr->Ready = 1; });
    };
    std::atomic<bool> stop{true};
    engineclock::StopScope scope(stop);
    ProbeCtr other(ctr);
    auto otherExchange = [&] {
        locked([&] {
            other.lines.clear();
            ctr->Current = &other;
            return 0;
        });
    };

    // The answer comes during another exchange.
    sendUnanswered();
    otherExchange();
    feed("\r\n+CMGS: 3\r\n\r\nOK\r\n");
    EXPECT_EQ(locked([&] { return channel.SendQueue.size(); }), 0u);
    EXPECT_EQ(std::count(other.lines.begin(), other.lines.end(), "OK"), 0);
    feed("\r\nOK\r\n");
    EXPECT_EQ(std::count(other.lines.begin(), other.lines.end(), "OK"), 1); // its own answer
    endExchange();

    // The answer comes while the message is tried again, before its prompt:
    // the prompt is cancelled and nothing goes a second time.
    queueSend("13912345678", "你好");
    message = locked([&] { return channel.SendQueue.front().get(); });
    sendUnanswered();
    locked([&] { return message->RetryAt = engineclock::Clock::now(); });
    tick();
    ASSERT_EQ(written(11), "AT+CMGS=19\r");
    feed("\r\n+CMGS: 4\r\n\r\nOK\r\n> ");
    runSteps();
    EXPECT_EQ(written(1), "\x1B");
    feed("\r\nOK\r\n");
    EXPECT_EQ(current(), nullptr);
    EXPECT_EQ(locked([&] { return channel.SendQueue.size(); }), 0u);
    EXPECT_EQ(writtenNow(), "");
    ASSERT_TRUE(waitUntil([&] { return reports.count("消息发送成功") == 2; }));

    // A "+CMGS:" that settles nothing still takes its final line along.
    otherExchange();
    feed("+CMGS: 5\r\nOK\r\n+CMGS: 6\r\n+CME ERROR: 3\r\nOK\r\n");
    EXPECT_EQ(other.lines, std::vector<std::string>{"OK"});
    endExchange();
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
    // Four attempts: dropped at once, with its line, also in the log file.
    tick();
    EXPECT_EQ(locked([&] { return channel.SendQueue.size(); }), 0u);
    EXPECT_EQ(writtenNow(), "");
    const std::string dropped = "消息四次发送失败，已放弃，手机号:+8613900000001 内容:a";
    ASSERT_TRUE(waitUntil([&] { return reports.count(dropped) == 1; }));
    EXPECT_EQ(reports.count("消息发送失败"), 4);
    EXPECT_NE(dir.read("SMSLog.TXT").find(gbk::fromUtf8(dropped) + "\r\n"), std::string::npos);
}

} // namespace
