// The real smsdesk program on a virtual display: the operator opens the task
// window from the main menu, creates through the new-task dialog a task for
// one contact and one contact group, due a few seconds later; each recipient
// gets the message from the modem once, and the window lists the task among
// the executed ones. A task that always fails holds up no later one.
#include "DeskRun.h"

#include <QDateEdit>
#include <QTimeEdit>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

// xdotool key names that type text of letters, digits and blanks.
std::string typed(const std::string &text)
{
    std::string out;
    for (char c : text)
        out += (c == ' ' ? std::string("space") : std::string(1, c)) + " ";
    return out;
}

std::string repeated(const std::string &key, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += key + " ";
    return out;
}

// Opens the task window's popup "操作(&A)" with its mnemonic and chooses
// in it with keys.
bool operate(const DeskRun &run, const std::string &keys)
{
    return run.x.keys("澜星信使V1.1", "alt+a") && run.x.menuKeys(keys);
}

// Messages go out unsigned; the contact 张三 has a number.
void unsignedToZhangSan(Db &db)
{
    db.q.SetSQL("update param set paramval='' where paramid='QM'");
    db.q.ExecSQL();
    db.append("client", {{"CLIENTID", "张三"}, {"CONTACT", "13800000001"}});
}

} // namespace

TEST(TaskJourney, ATaskMadeInTheDialogReachesEachRecipientOnceAndMovesToTheExecutedList)
{
    DeskRun run;
    DESK_RUN_READY(run);
    {
        Db db;
        unsignedToZhangSan(db);
        db.append("client", {{"CLIENTID", "李四"}, {"CONTACT", "13800000002"}});
        db.append("client", {{"CLIENTID", "王五"}, {"CONTACT", "13800000003"}});
        db.append("cgroup", {{"GROUPNAME", "同事"}});
        db.append("client_cgroup", {{"CLIENTID", "李四"}, {"GROUPNAME", "同事"}});
        db.append("client_cgroup", {{"CLIENTID", "王五"}, {"GROUPNAME", "同事"}});
    }
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.login());

    // "任务管理" is the fourth enabled item from the end of the main menu;
    // Alt highlights the first, Left goes round.
    ASSERT_TRUE(run.x.keys("澜星信使V1.1", "alt Left Left Left Left Return"));
    ASSERT_TRUE(operate(run, "Down Return")); // "增加"
    ASSERT_TRUE(run.x.waitForWindow("新任务"));

    // Name, message, the seconds of the time picker ten up (Tab walks the
    // sections of a picker, made from the formats the program shares with
    // the test), 张三 in the contacts, 同事 (after the shipped "手机电话本")
    // in the groups, "创建"; Escape closes the dialog.
    QTimeEdit time;
    time.setDisplayFormat(LongTimeFormat());
    int toSeconds = 0;
    while (toSeconds < time.sectionCount() && time.sectionAt(toSeconds) != QDateTimeEdit::SecondSection)
        ++toSeconds;
    QDateEdit date;
    date.setDisplayFormat(ShortDateFormat());
    const std::string keys = typed("notice") + "Tab " + typed("meeting at nine") + "Tab " +
                             repeated("Tab", date.sectionCount() + toSeconds) + repeated("Up", 10) +
                             repeated("Tab", time.sectionCount() - toSeconds) +
                             "Home space Tab Home Down space Tab space";
    ASSERT_TRUE(run.x.keys("新任务", keys));
    ASSERT_TRUE(run.x.keys("新任务", "Escape"));

    EXPECT_TRUE(eventually([&] {
        return column("select * from task where taskname='notice'", "STATE") == std::vector<std::string>{"已执行"};
    }));
    EXPECT_EQ(column("select * from sms_tosend where message='meeting at nine'", "PHONE"),
              (std::vector<std::string>{"13800000001", "13800000002", "13800000003"}));
    EXPECT_TRUE(eventually([&] {
        int n = 0;
        for (const auto &m : sentMessages(run.sim))
            n += m.second == "meeting at nine";
        return n >= 3;
    }));
    const auto sent = sentMessages(run.sim);
    for (const char *da : {"+8613800000001", "+8613800000002", "+8613800000003"})
        EXPECT_EQ(std::count(sent.begin(), sent.end(), std::pair<std::string, std::string>{da, "meeting at nine"}), 1)
            << da;

    // The executed list holds the task: the edit command there opens the
    // read-only dialog.
    ASSERT_TRUE(run.x.keys("澜星信使V1.1", "End Tab space"));
    ASSERT_TRUE(operate(run, "Down Down Return")); // "编辑  "
    EXPECT_TRUE(run.x.waitForWindow("编辑任务(只读)"));
    ASSERT_TRUE(run.x.keys("编辑任务(只读)", "Escape"));
    EXPECT_TRUE(run.quit());
}

// A due task whose run always fails (here a trigger refuses its rows) holds
// up no later task: the later one reaches the modem, the failing one stays
// pending, and no box comes up for it.
TEST(TaskJourney, ATaskThatAlwaysFailsHoldsUpNoLaterTaskAndShowsNoBox)
{
    DeskRun run;
    DESK_RUN_READY(run);
    {
        Db db;
        unsignedToZhangSan(db);
        for (const char *id : {"bad", "good"}) {
            db.append("task", {{"TASKID", id},
                               {"MESSAGE", std::string("task ") + id},
                               {"EXETIME", id[0] == 'b' ? "2020-01-01 08:00:00" : "2020-01-01 09:00:00"},
                               {"STATE", "未执行"}});
            db.append("task_client", {{"TASKID", id}, {"CLIENTID", "张三"}});
        }
        db.conn.Execute("create trigger bad before insert on sms_tosend when new.TASKID='bad'"
                        " begin select raise(abort, 'disk I/O error'); end");
    }
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.login());

    EXPECT_TRUE(eventually([&] { return wasSent(run.sim, "+8613800000001", "task good"); }));
    EXPECT_EQ(column("select * from task order by taskid", "STATE"), (std::vector<std::string>{"未执行", "已执行"}));
    EXPECT_TRUE(run.quit());
    for (const std::string &line : run.dialogsShown()) // the login and the exit question alone
        EXPECT_TRUE(line.rfind("登录窗口", 0) == 0 || line.rfind("退出程序\t", 0) == 0) << line;
}
