#include "DeskFixture.h"

#include "desk/StatusBar.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

class Dispatch : public DeskTest {
protected:
    void SetUp() override
    {
        DeskTest::SetUp();
        main = login();
        main->Engine.SendToGateway = [this](const QString &phone, const QString &text,
                                            const std::vector<std::string> &) {
            handed.push_back({phone.toStdString(), text.toStdString()});
            return true;
        };
    }
    void setSignature(const char *value) { exec(std::string("update param set paramval=") + QuotedStr(value)); }
    static void pending(const std::string &phone, const std::string &message)
    {
        add("sms_tosend", {{"TASKID", ""}, {"PHONE", phone}, {"MESSAGE", message}, {"SENDFLAG", "未发"}});
    }
    static std::vector<std::string> flags() { return column("select * from sms_tosend order by rowid", "SENDFLAG"); }

    TMainFrm *main = nullptr;
    std::vector<std::pair<std::string, std::string>> handed;
};

TEST_F(Dispatch, WithoutPendingRowsAPassChangesNothing)
{
    add("sms_tosend", {{"PHONE", "13800000001"}, {"MESSAGE", "done"}, {"SENDFLAG", "已发"}});
    main->StatusBar1->SetPanelText(1, "before");
    main->Timer1Timer();
    EXPECT_TRUE(handed.empty());
    EXPECT_EQ(main->StatusBar1->PanelText(1), "before");
}

TEST_F(Dispatch, SignatureRules)
{
    struct Case {
        const char *paramval;
        bool row;
        const char *text;
    };
    const Case cases[] = {
        {"", false, "hello"},    // no "QM" row
        {"", true, "hello"},     // empty
        {"  ", true, "hello  "}, // blanks only: unchanged, no brackets
        {" word ", true, "hello[ word ]"},
        {"\t", true, "hello\t"}, // a control character trims away too
    };
    for (const Case &c : cases) {
        exec("delete from param");
        if (c.row)
            add("param", {{"paramid", "QM"}, {"paramval", c.paramval}});
        pending("13800000001", "hello");
        handed.clear();
        main->Timer1Timer();
        ASSERT_EQ(handed.size(), 1u) << c.paramval;
        EXPECT_EQ(handed[0].second, c.text) << "'" << c.paramval << "'";
        EXPECT_EQ(main->StatusBar1->PanelText(1).toStdString(), std::string("发送手机短信到13800000001:") + c.text);
    }
    EXPECT_EQ(count("select * from sms_tosend where SENDFLAG='未发'"), 0);
}

TEST_F(Dispatch, OneRowPerPassAndExactlyTheRowHandedOverIsMarked)
{
    setSignature("Sig");
    pending("13800000001", "same");
    pending("13800000001", "same"); // two messages, not one
    pending("13900000002", "other");
    main->Timer1Timer();
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_EQ(count("select * from sms_tosend where SENDFLAG='已发'"), 1);
    EXPECT_EQ(count("select * from sms_tosend where SENDFLAG='已发' and PHONE=" + QuotedStr(handed[0].first) +
                    " and MESSAGE || '[Sig]'=" + QuotedStr(handed[0].second)),
              1);
    main->Timer1Timer();
    main->Timer1Timer();
    main->Timer1Timer(); // nothing left
    ASSERT_EQ(handed.size(), 3u);
    EXPECT_EQ(flags(), (std::vector<std::string>{"已发", "已发", "已发"}));
    EXPECT_EQ(std::count(handed.begin(), handed.end(), std::pair<std::string, std::string>{"13800000001", "same[Sig]"}),
              2);
}

TEST_F(Dispatch, AFailedHandOverLeavesTheRowPending)
{
    pending("13800000001", "hello");
    main->Engine.SendToGateway = [](const QString &, const QString &, const std::vector<std::string> &) -> bool {
        throw std::runtime_error("gateway");
    };
    EXPECT_THROW(main->Timer1Timer(), std::runtime_error);
    EXPECT_EQ(flags(), std::vector<std::string>{"未发"});
    // Without a gateway window nothing is handed over or marked.
    main->Engine.SendToGateway = nullptr;
    main->Timer1Timer();
    EXPECT_EQ(flags(), std::vector<std::string>{"未发"});
}

TEST_F(Dispatch, AFailingPassEndsInTheErrorBoxAndTheTimerRunsOn)
{
    pending("13800000001", "hello");
    int attempts = 0;
    main->Engine.SendToGateway = [&](const QString &, const QString &, const std::vector<std::string> &) -> bool {
        ++attempts;
        throw std::runtime_error("gateway down");
    };
    boxes.okAll(); // an error box for every pass
    main->Timer1->setInterval(0);
    main->Timer1->start();
    QTRY_VERIFY(attempts >= 2);
    main->Timer1->stop();
    ASSERT_GE(boxes.seen().size(), 2u);
    EXPECT_EQ(boxes.seen()[0].kind, boxes::Kind::Error);
    EXPECT_EQ(boxes.seen()[0].text, "gateway down");
    EXPECT_EQ(flags(), std::vector<std::string>{"未发"});
}

// Every pending row handed over exactly once, in any order.
void expectEachOnce(const std::vector<std::pair<std::string, std::string>> &handed,
                    const std::vector<std::string> &messages)
{
    std::vector<std::string> texts;
    for (const auto &h : handed)
        texts.push_back(h.second);
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, messages);
}

TEST_F(Dispatch, ALockHeldByAnotherProgramHoldsNoPassUpEachRowGoingOnceAndMarkedAfterIt)
{
    for (const char *lock : {"begin immediate", "begin exclusive"}) {
        SCOPED_TRACE(lock);
        exec("delete from sms_tosend");
        handed.clear();
        for (const char *m : {"a", "b", "c"})
            pending("13800000001", m);
        std::vector<QString> log;
        main->Engine.LogLine = [&](const QString &line) { log.push_back(line); };
        std::atomic<bool> held{false}, released{false};
        std::jthread other([&] {
            TAdoConnection c(TDataModule1::ConnectionString);
            c.Open();
            c.Execute(lock);
            held = true;
            std::this_thread::sleep_for(std::chrono::seconds(1));
            c.Execute("commit");
            released = true;
        });
        QTRY_VERIFY(held);
        qint64 longest = 0;
        for (bool last = false; !last; QTest::qWait(50)) {
            last = released;
            QElapsedTimer pass;
            pass.start();
            main->Timer1Timer();
            longest = std::max(longest, pass.elapsed());
        }
        main->Timer1Timer();     // the marks left over
        EXPECT_LT(longest, 500); // never the lock's second
        expectEachOnce(handed, {"a", "b", "c"});
        EXPECT_EQ(flags(), (std::vector<std::string>{"已发", "已发", "已发"}));
        ASSERT_EQ(log.size(), 1u);
        EXPECT_TRUE(
            log[0].startsWith(QStringLiteral("短信已交给网关，但无法标记为已发，稍后再试：数据库正被其他程序占用")))
            << log[0].toStdString();
        EXPECT_TRUE(boxes.seen().empty());
    }
}

TEST_F(Dispatch, ARowWhoseMarkCannotBeWrittenGoesOnceAndIsMarkedWhenItCanBe)
{
    for (const char *m : {"a", "b"})
        pending("13800000001", m);
    exec("create trigger readonly before update on sms_tosend "
         "begin select raise(abort, 'attempt to write a readonly database'); end");
    std::vector<QString> log;
    main->Engine.LogLine = [&](const QString &line) { log.push_back(line); };
    for (int i = 0; i < 5; ++i)
        main->Timer1Timer();
    expectEachOnce(handed, {"a", "b"});
    EXPECT_EQ(flags(), (std::vector<std::string>{"未发", "未发"}));
    EXPECT_TRUE(main->StatusBar1->PanelText(1).contains("readonly database"));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_TRUE(log[0].contains(QStringLiteral("无法标记为已发")));

    // The marks go first once they can; a row whose text was changed
    // meanwhile is a new message.
    exec("drop trigger readonly");
    exec("update sms_tosend set MESSAGE='b2' where MESSAGE='b'");
    main->Timer1Timer();
    main->Timer1Timer();
    expectEachOnce(handed, {"a", "b", "b2"});
    EXPECT_EQ(flags(), (std::vector<std::string>{"已发", "已发"}));
}

TEST_F(Dispatch, ARowTheGatewayCannotKeepStaysPendingAndGoesOnALaterPass)
{
    pending("13800000001", "a");
    const std::string row = column("select rowid as R from sms_tosend", "R").at(0);
    int refusals = 2; // a full disk, twice
    std::vector<std::vector<std::string>> marked;
    main->Engine.SendToGateway = [&](const QString &phone, const QString &text, const std::vector<std::string> &key) {
        EXPECT_EQ(key, (std::vector<std::string>{row, "13800000001", "a"}));
        handed.push_back({phone.toStdString(), text.toStdString()});
        return refusals-- <= 0;
    };
    main->Engine.HandOverMarked = [&](const std::vector<std::string> &key) { marked.push_back(key); };
    std::vector<QString> log;
    main->Engine.LogLine = [&](const QString &line) { log.push_back(line); };
    for (int pass = 0; pass < 2; ++pass) {
        main->Timer1Timer();
        EXPECT_EQ(flags(), std::vector<std::string>{"未发"});
        EXPECT_TRUE(main->StatusBar1->PanelText(1).contains(QStringLiteral("无法把短信保存到磁盘")));
    }
    ASSERT_EQ(log.size(), 1u);
    main->Timer1Timer();
    EXPECT_EQ(flags(), std::vector<std::string>{"已发"});
    EXPECT_EQ(handed.size(), 3u);
    EXPECT_EQ(marked, (std::vector<std::vector<std::string>>{{row, "13800000001", "a"}}));
}

TEST_F(Dispatch, RowsAnEarlierRunHandedOverAreMarkedAndNeverHandedOverAgain)
{
    for (const char *m : {"a", "b", "c"})
        pending("13800000001", m);
    const std::vector<std::string> rows = column("select rowid as R from sms_tosend order by rowid", "R");
    const std::vector<std::vector<std::string>> earlier = {
        {rows[0], "13800000001", "a"},
        {rows[1], "13800000001", "b before it was changed"}, // no longer the message: a new one
        {"junk"},
    };
    int taken = 0;
    main->Engine.TakeHandedOver = [&] { return taken++ ? std::vector<std::vector<std::string>>{} : earlier; };
    std::vector<std::vector<std::string>> marked;
    main->Engine.HandOverMarked = [&](const std::vector<std::string> &key) { marked.push_back(key); };
    for (int pass = 0; pass < 3; ++pass)
        main->Timer1Timer();
    expectEachOnce(handed, {"b", "c"});
    EXPECT_EQ(flags(), (std::vector<std::string>{"已发", "已发", "已发"}));
    // Every row the engine named leaves its journal, ours or not.
    std::vector<std::vector<std::string>> expected = {
        earlier[2], earlier[0], earlier[1], {rows[1], "13800000001", "b"}, {rows[2], "13800000001", "c"}};
    EXPECT_EQ(marked, expected);
}

// --- the task runner ---------------------------------------------------

class TaskRunner : public Dispatch {
protected:
    static std::string stamp(const QDateTime &t) { return t.toString("yyyy-MM-dd HH:mm:ss").toStdString(); }
    static void task(const std::string &id, const QDateTime &due, const std::string &message = "msg")
    {
        add("task", {{"TASKID", id}, {"MESSAGE", message}, {"EXETIME", stamp(due)}, {"STATE", "未执行"}});
    }
    static void client(const std::string &id, const std::string &contact)
    {
        add("client", {{"CLIENTID", id}, {"CONTACT", contact}});
    }
    static std::string state(const std::string &id)
    {
        auto s = column("select * from task where taskid=" + QuotedStr(id), "STATE");
        return s.empty() ? "" : s[0];
    }
    // "PHONE" of every row appended, in order.
    static std::vector<std::string> phones() { return column("select * from sms_tosend order by rowid", "PHONE"); }

    QDateTime now = QDateTime::currentDateTime();
};

TEST_F(TaskRunner, ATaskIsDueFromTheVerySecondOfItsTime)
{
    client("甲", "13800000001");
    add("task_client", {{"TASKID", "later"}, {"CLIENTID", "甲"}});
    task("later", now.addSecs(3600));
    main->Timer3Timer();
    EXPECT_EQ(state("later"), "未执行");
    EXPECT_TRUE(phones().empty());

    add("task_client", {{"TASKID", "now"}, {"CLIENTID", "甲"}});
    task("now", QDateTime::currentDateTime()); // stored to the second: exactly now
    main->Timer3Timer();
    EXPECT_EQ(state("now"), "已执行");
    EXPECT_EQ(state("later"), "未执行"); // a future task blocks nothing
    EXPECT_EQ(column("select * from sms_tosend", "TASKID"), std::vector<std::string>{"now"});
    EXPECT_EQ(column("select * from sms_tosend", "MESSAGE"), std::vector<std::string>{"msg"});
    EXPECT_EQ(column("select * from sms_tosend", "SENDFLAG"), std::vector<std::string>{"未发"});
}

TEST_F(TaskRunner, ATaskWithoutRecipientsIsMarkedAndAddsNothing)
{
    task("empty", now.addSecs(-60));
    main->Timer3Timer();
    EXPECT_EQ(state("empty"), "已执行");
    EXPECT_TRUE(phones().empty());
}

TEST_F(TaskRunner, NamedContactsComeFirstThenGroupsAndNumbersAreNotMerged)
{
    client("甲", "13800000001");
    client("乙", "13800000002");
    client("丙", "13800000003");
    add("task_client", {{"TASKID", "t1"}, {"CLIENTID", "乙"}});
    add("task_client", {{"TASKID", "t1"}, {"CLIENTID", "甲"}});
    add("task_cgroup", {{"TASKID", "t1"}, {"GROUPNAME", "G1"}});
    add("task_cgroup", {{"TASKID", "t1"}, {"GROUPNAME", "G2"}});
    add("client_cgroup", {{"CLIENTID", "甲"}, {"GROUPNAME", "G1"}}); // named and a member
    add("client_cgroup", {{"CLIENTID", "丙"}, {"GROUPNAME", "G1"}});
    add("client_cgroup", {{"CLIENTID", "丙"}, {"GROUPNAME", "G2"}}); // in both groups
    task("t1", now.addSecs(-1));

    size_t rowsAtRefresh = 99;
    main->TaskWindowRefresh = [&] {
        rowsAtRefresh = phones().size();
        EXPECT_EQ(state("t1"), "已执行");
    };
    main->Timer3Timer();
    EXPECT_EQ(phones(),
              (std::vector<std::string>{"13800000002", "13800000001", "13800000001", "13800000003", "13800000003"}));
    EXPECT_EQ(rowsAtRefresh, 5u); // refreshed once the task is complete
}

TEST_F(TaskRunner, AFailureHalfWayLeavesNoRowAndTheNextTrySendsEachMessageOnce)
{
    int n = 0;
    for (const char *id : {"甲", "乙", "丙", "丁"}) {
        client(id, "1380000000" + std::to_string(++n));
        add("client_cgroup", {{"CLIENTID", id}, {"GROUPNAME", "G"}});
    }
    add("task_client", {{"TASKID", "t"}, {"CLIENTID", "甲"}});
    add("task_cgroup", {{"TASKID", "t"}, {"GROUPNAME", "G"}});
    task("t", now.addSecs(-1));
    exec("create trigger third before insert on sms_tosend when (select count(*) from sms_tosend) = 2"
         " begin select raise(abort, 'disk full'); end");
    bool refreshed = false;
    main->TaskWindowRefresh = [&] { refreshed = true; };
    main->TaskRetryMs = 0;
    for (int pass = 0; pass < 2; ++pass) {
        main->Timer3Timer();
        EXPECT_TRUE(phones().empty());
        EXPECT_EQ(state("t"), "未执行");
    }
    EXPECT_FALSE(refreshed);

    exec("drop trigger third");
    main->Timer3Timer();
    main->Timer3Timer();
    for (int i = 0; i < 7; ++i)
        main->Timer1Timer();
    EXPECT_TRUE(refreshed);
    EXPECT_EQ(state("t"), "已执行");
    std::vector<std::string> sent;
    for (const auto &[phone, text] : handed)
        sent.push_back(phone);
    std::sort(sent.begin(), sent.end());
    EXPECT_EQ(sent,
              (std::vector<std::string>{"13800000001", "13800000001", "13800000002", "13800000003", "13800000004"}));
}

TEST_F(TaskRunner, ATaskThatAlwaysFailsIsSaidOnceAndHeldBackWhileTheNextDueTaskRuns)
{
    client("甲", "13800000001");
    for (const char *id : {"bad", "good", "later"})
        add("task_client", {{"TASKID", id}, {"CLIENTID", "甲"}});
    task("bad", now.addSecs(-30));
    task("good", now.addSecs(-20));
    task("later", now.addSecs(-10));
    exec("create trigger bad before insert on sms_tosend when new.TASKID='bad'"
         " begin select raise(abort, 'disk I/O error'); end");
    std::vector<QString> log;
    main->Engine.LogLine = [&](const QString &line) { log.push_back(line); };
    main->TaskRetryMs = 0; // tried again at every later pass, never twice in one

    main->Timer3Timer();
    EXPECT_EQ(state("good"), "已执行");  // in the same pass
    EXPECT_EQ(state("later"), "未执行"); // one task per pass
    main->Timer3Timer();                 // "bad" fails again, not said again
    EXPECT_EQ(state("later"), "已执行");
    main->Timer3Timer();
    EXPECT_EQ(state("bad"), "未执行");
    EXPECT_EQ(column("select * from sms_tosend order by rowid", "TASKID"), (std::vector<std::string>{"good", "later"}));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0],
              QStringLiteral("任务 bad 未能执行，1 分钟后或下次启动时再试：记录重复或不合要求（disk I/O error）"));
    EXPECT_EQ(main->StatusBar1->PanelText(1), log[0]);
    EXPECT_TRUE(boxes.seen().empty());

    exec("drop trigger bad");
    main->Timer3Timer();
    EXPECT_EQ(state("bad"), "已执行");
}

TEST_F(TaskRunner, ALockOfAnotherProgramIsNotWaitedOutAndTheTaskRunsOnceItIsGone)
{
    client("甲", "13800000001");
    add("task_client", {{"TASKID", "t"}, {"CLIENTID", "甲"}});
    task("t", now.addSecs(-1));
    std::vector<QString> log;
    main->Engine.LogLine = [&](const QString &line) { log.push_back(line); };
    TAdoConnection other(TDataModule1::ConnectionString);
    other.Open();
    other.Execute("begin immediate");
    // Passes from the timer, as the desk runs them, while the lock is held.
    int ticks = 0;
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] { ++ticks; });
    beat.start(0);
    main->Timer3->setInterval(0);
    main->Timer3->start();
    QTRY_VERIFY(!log.empty());
    const int seen = ticks;
    QTRY_VERIFY(ticks > seen + 10); // the window goes on answering
    EXPECT_EQ(state("t"), "未执行");
    other.Execute("commit");
    QTRY_COMPARE(state("t"), "已执行");
    main->Timer3->stop();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], QStringLiteral("数据库正被其他程序占用，到期的任务等它放开后再执行"));
    EXPECT_EQ(phones(), std::vector<std::string>{"13800000001"});
    EXPECT_TRUE(boxes.seen().empty());
}

TEST_F(TaskRunner, ContactsWithoutANumberOrARowGetNoRowAndNumbersStayUntrimmed)
{
    client("blank", " ");
    client("padded", " 13800000009 ");
    add("task_client", {{"TASKID", "t"}, {"CLIENTID", "blank"}});
    add("task_client", {{"TASKID", "t"}, {"CLIENTID", "missing"}});
    add("task_client", {{"TASKID", "t"}, {"CLIENTID", "padded"}});
    add("task_cgroup", {{"TASKID", "t"}, {"GROUPNAME", "G"}});
    add("client_cgroup", {{"CLIENTID", "gone"}, {"GROUPNAME", "G"}});
    add("client_cgroup", {{"CLIENTID", "blank"}, {"GROUPNAME", "G"}});
    task("t", now.addSecs(-5));
    main->Timer3Timer();
    EXPECT_EQ(phones(), std::vector<std::string>{" 13800000009 "});
    EXPECT_EQ(state("t"), "已执行");
}

TEST_F(TaskRunner, OverdueTasksRunOnePerPassEarliestFirst)
{
    client("甲", "13800000001");
    for (const char *id : {"B", "A", "C"})
        add("task_client", {{"TASKID", id}, {"CLIENTID", "甲"}});
    task("B", now.addDays(-2));
    task("A", now.addDays(-3));
    task("C", now.addDays(-1));
    main->Timer3Timer();
    EXPECT_EQ(column("select * from task where state='已执行'", "TASKID"), std::vector<std::string>{"A"});
    main->Timer3Timer();
    main->Timer3Timer();
    main->Timer3Timer(); // nothing left
    EXPECT_EQ(column("select * from sms_tosend order by rowid", "TASKID"), (std::vector<std::string>{"A", "B", "C"}));
}

TEST_F(TaskRunner, AQuoteInAKeyKeepsItsMeaning)
{
    client("O'Brien", "13800000001");
    add("task_client", {{"TASKID", "it's"}, {"CLIENTID", "O'Brien"}});
    add("task_cgroup", {{"TASKID", "it's"}, {"GROUPNAME", "Bob's"}});
    add("client_cgroup", {{"CLIENTID", "O'Brien"}, {"GROUPNAME", "Bob's"}});
    task("it's", now.addSecs(-1));
    main->Timer3Timer();
    EXPECT_EQ(state("it's"), "已执行");
    EXPECT_EQ(phones().size(), 2u);
}

} // namespace
