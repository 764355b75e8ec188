#include "DeskFixture.h"

#include "desk/EditTask.h"
#include "desk/ListView.h"
#include "desk/NewTask.h"
#include "desk/TaskMan.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>
#include <QTreeWidget>

namespace {

using Rows = std::vector<std::string>;

class TaskWindow : public DeskTest {
protected:
    void SetUp() override
    {
        DeskTest::SetUp();
        main = login();
        add("client", {{"CLIENTID", "甲"}, {"CONTACT", "13800000001"}});
        add("client", {{"CLIENTID", "O'Brien"}, {"CONTACT", "13800000002"}});
        add("cgroup", {{"GROUPNAME", "同事"}});
        add("task", {{"TASKID", "P1"}, {"MESSAGE", "old"}, {"EXETIME", "2030-01-01 08:00:00"}, {"STATE", "未执行"}});
        add("task_client", {{"TASKID", "P1"}, {"CLIENTID", "甲"}});
        add("task", {{"TASKID", "E1"}, {"MESSAGE", "sent"}, {"EXETIME", "2020-01-01 08:00:00"}, {"STATE", "已执行"}});
        main->N5_old_oldClick();
        win = frmTaskMan;
        ASSERT_NE(win, nullptr);
    }
    void select(const char *node)
    {
        win->TreeView1->setCurrentItem(win->TreeView1->findItems(node, Qt::MatchExactly).value(0));
        win->CurrentList->SetSelected(0, true);
    }
    static void tick(QListWidget *list, const char *text, Qt::CheckState state = Qt::Checked)
    {
        list->findItems(text, Qt::MatchExactly).value(0)->setCheckState(state);
    }
    static Rows links(const char *table, const char *column, const std::string &task)
    {
        return DeskTest::column(std::string("select * from ") + table + " where taskid=" + QuotedStr(task), column);
    }
    static Rows message(const char *task)
    {
        return column("select * from task where taskid=" + QuotedStr(task), "MESSAGE");
    }

    TMainFrm *main = nullptr;
    TfrmTaskMan *win = nullptr;
};

TEST_F(TaskWindow, TheRunnerReloadsTheWindowOnlyWhileItIsOpen)
{
    exec("update task set exetime='2020-06-01 00:00:00' where taskid='P1'");
    main->Timer3Timer();
    EXPECT_EQ(win->ListView(1)->Count(), 0);
    EXPECT_EQ(win->ListView(2)->Count(), 2);
    win->parentWidget()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frmTaskMan, nullptr);
    add("task", {{"TASKID", "P2"}, {"EXETIME", "2020-06-01 00:00:00"}, {"STATE", "未执行"}});
    main->Timer3Timer();
}

TEST_F(TaskWindow, NewTaskWritesTheTaskItsRecipientsAndItsLogRow)
{
    std::string id;
    modal.then<TfrmNewTask>([&](TfrmNewTask *d) {
        id = d->Edit1->text().toStdString();
        // A deleted task's recipients under the same number are not inherited.
        add("task_client", {{"TASKID", id}, {"CLIENTID", "stale"}});
        d->Edit3->setPlainText(" 开会 ");
        d->DateTimePicker1->setDate({2031, 2, 3});
        d->DateTimePicker2->setTime({4, 5, 6});
        tick(d->CheckListBox1, "O'Brien");
        tick(d->CheckListBox2, "同事");
        d->Button1Click();
        EXPECT_TRUE(d->Edit1->text().isEmpty() && d->Edit3->toPlainText().isEmpty());
        d->Button2Click();
    });
    const QDateTime opened = QDateTime::currentDateTime();
    win->SpeedButton12Click();
    ASSERT_TRUE(modal.done());
    EXPECT_TRUE(id == taskNumber(opened).toStdString() || id == taskNumber(opened.addSecs(1)).toStdString()) << id;
    const std::string row = "select * from task where taskid=" + QuotedStr(id);
    EXPECT_EQ(column(row, "MESSAGE"), Rows{" 开会 "});
    EXPECT_EQ(column(row, "EXETIME"), Rows{DateTimeToStr(QDateTime({2031, 2, 3}, {4, 5, 6}))});
    EXPECT_EQ(column(row, "STATE"), Rows{"未执行"});
    EXPECT_EQ(links("task_client", "CLIENTID", id), Rows{"O'Brien"});
    EXPECT_EQ(links("task_cgroup", "GROUPNAME", id), Rows{"同事"});
    EXPECT_EQ(column("select * from operlog", "Action"), Rows{"增加任务" + id});
    EXPECT_EQ(win->ListView(1)->Count(), 2);
}

TEST_F(TaskWindow, NewTaskRefusalsWriteNothing)
{
    struct Case {
        const char *name;
        const char *message;
        const char *fault; // a statement run once the number is known; %1 is the number
        const char *notice;
        int counted;
    };
    const Case cases[] = {
        {"blank", " \t\r\n", nullptr, "消息内容不能为空！", 0},
        {"number taken", "hi", "insert into task (TASKID) values (%1)", "新增记录失败,请检查任务编号是否重复", 1},
        {"link row fails", "hi",
         "create trigger nogroup before insert on task_cgroup begin select raise(abort, 'no'); end",
         "新增记录失败,请检查任务编号是否重复", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        boxes.clear();
        boxes.ok();
        std::string id;
        modal.then<TfrmNewTask>([&](TfrmNewTask *d) {
            id = d->Edit1->text().toStdString();
            if (std::string fault = c.fault ? c.fault : ""; !fault.empty()) {
                if (const size_t at = fault.find("%1"); at != std::string::npos)
                    fault.replace(at, 2, QuotedStr(id));
                exec(fault);
            }
            d->Edit3->setPlainText(c.message);
            tick(d->CheckListBox1, "甲");
            tick(d->CheckListBox2, "同事");
            d->Button1Click();
            EXPECT_EQ(d->Count(), c.counted);
            d->Button2Click();
        });
        win->SpeedButton12Click();
        EXPECT_EQ(boxes.texts(), QStringList{c.notice});
        EXPECT_EQ(count("select * from task where message='hi'"), 0);
        EXPECT_TRUE(links("task_client", "CLIENTID", id).empty());
        EXPECT_EQ(count("select * from operlog"), 0);
        exec("drop trigger if exists nogroup");
        exec("delete from task where message is null");
    }
}

TEST_F(TaskWindow, EditRewritesAPendingTask)
{
    select("未执行任务");
    modal.then<TfrmEditTask>([](TfrmEditTask *d) {
        EXPECT_EQ(d->ExeTime(), QDateTime({2030, 1, 1}, {8, 0}));
        EXPECT_EQ(d->CheckListBox1->item(0)->checkState(), Qt::Checked); // 甲
        d->DateTimePicker2->setTime({9, 30});                            // a picker change alone marks it changed
        d->Edit3->setPlainText("new");
        tick(d->CheckListBox1, "甲", Qt::Unchecked);
        tick(d->CheckListBox2, "同事");
        d->OkClick();
    });
    win->SpeedButton10Click();
    ASSERT_TRUE(modal.done());
    EXPECT_EQ(message("P1"), Rows{"new"});
    EXPECT_EQ(column("select * from task where taskid='P1'", "STATE"), Rows{"未执行"});
    EXPECT_TRUE(links("task_client", "CLIENTID", "P1").empty());
    EXPECT_EQ(links("task_cgroup", "GROUPNAME", "P1"), Rows{"同事"});
    EXPECT_EQ(win->ListView(1)->SubItem(0, 1), "new"); // reloaded
}

// The lists are read in a few statements, but tick as the database
// compares: a row in another letter case ticks its contact, a row naming
// no contact ticks nothing, and the contacts keep the order returned.
TEST_F(TaskWindow, TheEditDialogTicksEachRecipientAsTheDatabaseComparesIt)
{
    for (const char *id : {"ann", "Bob", "ann2"})
        add("client", {{"CLIENTID", id}});
    for (const char *id : {"ANN", "幽灵", "O'Brien"})
        add("task_client", {{"TASKID", "P1"}, {"CLIENTID", id}});
    add("cgroup", {{"GROUPNAME", "Team"}});
    add("task_cgroup", {{"TASKID", "P1"}, {"GROUPNAME", "team"}});
    add("task_cgroup", {{"TASKID", "P2"}, {"GROUPNAME", "同事"}}); // another task's
    select("未执行任务");
    modal.then<TfrmEditTask>([&](TfrmEditTask *d) {
        EXPECT_EQ(checkListText(d->CheckListBox1), (QStringList{"甲+", "O'Brien+", "ann+", "Bob", "ann2"}));
        EXPECT_EQ(checkListText(d->CheckListBox2), (QStringList{"手机电话本", "同事", "Team+"}));
        d->CancelClick();
    });
    win->SpeedButton10Click();
    EXPECT_TRUE(modal.done());
}

TEST_F(TaskWindow, AnExecutedTaskIsReadOnlyAndCannotBeDeleted)
{
    select("已执行任务");
    bool stayedOpen = false;
    modal.then<TfrmEditTask>([&](TfrmEditTask *d) {
        EXPECT_EQ(d->windowTitle(), "编辑任务(只读)");
        QTest::keyClicks(d->Edit3, "x");
        EXPECT_EQ(d->Edit3->toPlainText(), "sent");
        EXPECT_TRUE(d->DateTimePicker1->isReadOnly() && d->DateTimePicker2->isReadOnly());
        EXPECT_FALSE(d->CheckListBox2->item(0)->flags() & Qt::ItemIsUserCheckable);
        EXPECT_FALSE(d->OkButton->isEnabled());
        d->OkClick();
        stayedOpen = d->isVisible();
        d->CancelClick();
    });
    win->SpeedButton10Click();
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(message("E1"), Rows{"sent"});

    boxes.ok();
    win->SpeedButton11Click();
    EXPECT_EQ(boxes.texts(), QStringList{"不能删除已执行任务"});
    EXPECT_EQ(count("select * from task"), 2);
}

TEST_F(TaskWindow, EditRefusalsLeaveTheTaskAsItWas)
{
    struct Case {
        const char *name;
        const char *message;
        const char *fault; // run while the dialog is open
        QString notice;
        bool stays;
    };
    const Case cases[] = {
        {"blank", "  ", nullptr, "消息内容不能为空！", true},
        {"executed meanwhile", "new", "update task set state='已执行' where taskid='P1'", "任务已执行，修改不能保存",
         false},
        {"link rows fail", "new",
         "create trigger nolink before insert on task_client begin select raise(abort, 'link refused'); end",
         "link refused", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        exec("update task set state='未执行' where taskid='P1'");
        win->Refresh();
        select("未执行任务");
        boxes.clear();
        boxes.ok();
        bool stayedOpen = false;
        modal.then<TfrmEditTask>([&](TfrmEditTask *d) {
            if (c.fault)
                exec(c.fault);
            QTest::keyClicks(d->Edit3, "x");
            d->Edit3->setPlainText(c.message);
            d->OkClick();
            stayedOpen = d->isVisible();
            if (stayedOpen)
                d->CancelClick();
        });
        win->SpeedButton10Click();
        EXPECT_EQ(stayedOpen, c.stays);
        ASSERT_EQ(boxes.texts().size(), 1);
        EXPECT_TRUE(boxes.texts()[0].contains(c.notice)) << boxes.texts()[0].toStdString();
        EXPECT_EQ(message("P1"), Rows{"old"});
        EXPECT_EQ(links("task_client", "CLIENTID", "P1"), Rows{"甲"});
        exec("drop trigger if exists nolink");
    }
}

} // namespace
