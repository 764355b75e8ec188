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
        add("task", {{"TASKID", "P1"},
                     {"TASKNAME", "n"},
                     {"MESSAGE", "old"},
                     {"EXETIME", "2030-01-01 08:00:00"},
                     {"STATE", "未执行"}});
        add("task_client", {{"TASKID", "P1"}, {"CLIENTID", "甲"}});
        add("task", {{"TASKID", "E1"}, {"MESSAGE", "sent"}, {"EXETIME", "2020-01-01 08:00:00"}, {"STATE", "已执行"}});
        main->N5_old_oldClick();
        win = frmTaskMan;
        ASSERT_NE(win, nullptr);
    }
    void select(const char *node, int row)
    {
        win->TreeView1->setCurrentItem(win->TreeView1->findItems(node, Qt::MatchExactly).value(0));
        win->CurrentList->SetSelected(row, true);
    }
    static void tick(QListWidget *list, const char *text, Qt::CheckState state = Qt::Checked)
    {
        list->findItems(text, Qt::MatchExactly).value(0)->setCheckState(state);
    }
    static std::vector<Qt::CheckState> ticks(QListWidget *list)
    {
        std::vector<Qt::CheckState> out;
        for (int i = 0; i < list->count(); ++i)
            out.push_back(list->item(i)->checkState());
        return out;
    }
    static Rows links(const std::string &table, const char *column, const std::string &task)
    {
        return ::DeskTest::column("select * from " + table + " where taskid=" + QuotedStr(task) + " order by rowid",
                                  column);
    }

    TMainFrm *main = nullptr;
    TfrmTaskMan *win = nullptr;
};

TEST_F(TaskWindow, ListsByStateAndTheRunnerMovesADueTask)
{
    EXPECT_EQ(win->windowTitle(), "任务管理");
    EXPECT_EQ(win->ListView(1)->Caption(0), "P1");
    EXPECT_EQ(win->ListView(1)->SubItem(0, 2).toStdString(), DateTimeToStr(QDateTime({2030, 1, 1}, {8, 0})));
    EXPECT_EQ(win->ListView(2)->Caption(0), "E1");
    EXPECT_EQ(win->CurrentList, win->ListView(1));

    exec("update task set exetime='2020-06-01 00:00:00' where taskid='P1'");
    main->Timer3Timer();
    EXPECT_EQ(win->ListView(1)->Count(), 0);
    EXPECT_EQ(win->ListView(2)->Count(), 2);
    win->parentWidget()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frmTaskMan, nullptr);
    main->Timer3Timer(); // nothing left to reload
}

TEST_F(TaskWindow, NewTaskWritesTheTaskItsRecipientsAndItsLogRowAtOnce)
{
    QString number;
    modal.then<TfrmNewTask>([&](TfrmNewTask *d) {
        number = d->Edit1->text();
        EXPECT_FALSE(d->Edit1->isEnabled());
        EXPECT_TRUE(d->Button1->isEnabled());
        // A deleted task's recipients under the same number are not inherited.
        add("task_client", {{"TASKID", number.toStdString()}, {"CLIENTID", "stale"}});
        d->Edit2->setText("名");
        d->Edit3->setPlainText(" 开会 ");
        d->DateTimePicker1->setDate({2031, 2, 3});
        d->DateTimePicker2->setTime({4, 5, 6});
        tick(d->CheckListBox1, "O'Brien");
        tick(d->CheckListBox2, "同事");
        d->Button1Click();
        EXPECT_FALSE(d->Button1->isEnabled());
        EXPECT_TRUE(d->Edit1->text().isEmpty() && d->Edit2->text().isEmpty() && d->Edit3->toPlainText().isEmpty());
        EXPECT_EQ(d->CheckListBox2->findItems("同事", Qt::MatchExactly).value(0)->checkState(), Qt::Checked);
        d->Button2Click();
    });
    const QDateTime opened = QDateTime::currentDateTime();
    win->SpeedButton12Click();
    ASSERT_TRUE(modal.done());
    EXPECT_TRUE(boxes.seen().empty());
    EXPECT_TRUE(number == taskNumber(opened) || number == taskNumber(opened.addSecs(1))) << number.toStdString();
    const std::string id = number.toStdString();
    const std::string row = "select * from task where taskid=" + QuotedStr(id);
    EXPECT_EQ(column(row, "TASKNAME"), Rows{"名"});
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
        std::function<void(const std::string &number)> fault;
        const char *notice;
        int counted;
    };
    const Case cases[] = {
        {"blank", " \t\r\n", {}, "消息内容不能为空！", 0},
        {"number taken", "hi",
         [](const std::string &n) {
             add("task", {{"TASKID", n}, {"MESSAGE", "first"}});
         },
         "新增记录失败,请检查任务编号是否重复", 1},
        {"link row fails", "hi",
         [](const std::string &) {
             exec("create trigger nogroup before insert on task_cgroup begin select raise(abort, 'no'); end");
         },
         "新增记录失败,请检查任务编号是否重复", 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        boxes.clear();
        boxes.ok();
        std::string number;
        modal.then<TfrmNewTask>([&](TfrmNewTask *d) {
            number = d->Edit1->text().toStdString();
            if (c.fault)
                c.fault(number);
            d->Edit3->setPlainText(c.message);
            tick(d->CheckListBox1, "甲");
            tick(d->CheckListBox2, "同事");
            d->Button1Click();
            EXPECT_EQ(d->Count(), c.counted);
            EXPECT_EQ(d->Edit1->text().isEmpty(), c.counted == 1);
            d->Button2Click();
        });
        win->SpeedButton12Click();
        EXPECT_EQ(boxes.texts(), QStringList{c.notice});
        EXPECT_EQ(count("select * from task where message='hi'"), 0);
        EXPECT_TRUE(links("task_client", "CLIENTID", number).empty());
        EXPECT_EQ(count("select * from operlog"), 0);
        exec("drop trigger if exists nogroup");
        exec("delete from task where message='first'");
    }
}

TEST_F(TaskWindow, EditLoadsAndRewritesAPendingTask)
{
    select("未执行任务", 0);
    modal.then<TfrmEditTask>([](TfrmEditTask *d) {
        EXPECT_EQ(d->windowTitle(), "编辑任务");
        EXPECT_EQ(d->Edit1->text(), "P1");
        EXPECT_EQ(d->Edit3->toPlainText(), "old");
        EXPECT_EQ(d->ExeTime(), QDateTime({2030, 1, 1}, {8, 0}));
        EXPECT_EQ(ticks(d->CheckListBox1), (std::vector<Qt::CheckState>{Qt::Checked, Qt::Unchecked}));
        EXPECT_FALSE(d->Modified);
        d->DateTimePicker2->setTime({9, 30});
        EXPECT_TRUE(d->Modified);
        d->Edit3->setPlainText("new");
        tick(d->CheckListBox1, "甲", Qt::Unchecked);
        tick(d->CheckListBox2, "同事");
        d->OkClick();
    });
    win->SpeedButton10Click();
    ASSERT_TRUE(modal.done());
    EXPECT_EQ(column("select * from task where taskid='P1'", "MESSAGE"), Rows{"new"});
    EXPECT_EQ(column("select * from task where taskid='P1'", "STATE"), Rows{"未执行"});
    EXPECT_TRUE(links("task_client", "CLIENTID", "P1").empty());
    EXPECT_EQ(links("task_cgroup", "GROUPNAME", "P1"), Rows{"同事"});
    EXPECT_EQ(win->ListView(1)->SubItem(0, 1), "new"); // reloaded
}

TEST_F(TaskWindow, ExecutedTasksAreReadOnlyAndCannotBeDeleted)
{
    select("已执行任务", 0);
    bool stayedOpen = false;
    modal.then<TfrmEditTask>([&](TfrmEditTask *d) {
        EXPECT_EQ(d->windowTitle(), "编辑任务(只读)");
        QTest::keyClicks(d->Edit3, "x");
        d->OkClick();
        stayedOpen = d->isVisible();
        d->CancelClick();
    });
    win->SpeedButton10Click();
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(column("select * from task where taskid='E1'", "MESSAGE"), Rows{"sent"});

    boxes.ok();
    win->SpeedButton11Click();
    EXPECT_EQ(boxes.texts(), QStringList{"不能删除已执行任务"});
    EXPECT_EQ(count("select * from task"), 2);

    boxes.clear();
    boxes.ok();
    select("未执行任务", 0);
    win->SpeedButton11Click();
    EXPECT_EQ(boxes.texts(), QStringList{"未执行任务删除后不能恢复，您确定要删除未执行任务 P1 吗？"});
    EXPECT_EQ(count("select * from task where taskid='P1'"), 0);
    EXPECT_EQ(links("task_client", "CLIENTID", "P1"), Rows{"甲"}); // link rows stay
    EXPECT_EQ(column("select * from operlog", "Action"), Rows{"删除未执行任务 P1"});
}

TEST_F(TaskWindow, EditRefusalsLeaveTheTaskAsItWas)
{
    struct Case {
        const char *name;
        const char *message;
        const char *fault;
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
        select("未执行任务", 0);
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
        EXPECT_EQ(column("select * from task where taskid='P1'", "MESSAGE"), Rows{"old"});
        EXPECT_EQ(links("task_client", "CLIENTID", "P1"), Rows{"甲"});
        exec("drop trigger if exists nolink");
    }
}

} // namespace
