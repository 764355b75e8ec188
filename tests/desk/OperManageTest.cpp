#include "DeskFixture.h"

#include "desk/CoolBar.h"
#include "desk/ListView.h"
#include "desk/MdiClient.h"
#include "desk/OperDialogs.h"
#include "desk/Operman.h"

#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

namespace {

class OperManageTest : public DeskTest {
protected:
    void SetUp() override
    {
        DeskTest::SetUp();
        main = login();
        main->show();
        add("operater", {{"WORKCODE", "op1"}, {"PASSWORD", "p1"}});
        add("workgroup", {{"GROUPNAME", "G1"}});
        add("workgroup", {{"GROUPNAME", "G2"}});
        add("module", {{"MODULEID", "M1"}});
        main->N1_old_oldClick(); // as the hidden menu item does
        win = OperManage;
        ASSERT_NE(win, nullptr);
    }
    void showCategory(const char *text)
    {
        win->TreeView1->setCurrentItem(win->TreeView1->findItems(text, Qt::MatchExactly).value(0));
    }
    int row(const char *caption) const
    {
        for (int i = 0; i < win->CurrentList->Count(); ++i)
            if (win->CurrentList->Caption(i) == caption)
                return i;
        return -1;
    }
    static std::vector<std::string> links(const std::string &sql) { return column(sql, "v"); }

    TMainFrm *main = nullptr;
    TOperManage *win = nullptr;
};

TEST_F(OperManageTest, OnlyTheSupervisorOpensIt)
{
    main->MDIClient->subWindowList().front()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    main->WorkCode = "op1";
    process->MakeLoginForm();
    boxes.ok(); // the refusal
    main->N1_old_oldClick();
    EXPECT_EQ(OperManage, nullptr);
    EXPECT_EQ(boxes.texts(), QStringList{"您没有操作权限"});
}

TEST_F(OperManageTest, TheSupervisorRowCannotBeDeletedByAnyPath)
{
    showCategory("操作员");
    TListView *list = win->ListView(1);
    list->SetSelected(row("Kelvo"), true);
    EXPECT_TRUE(win->CoolBar1->SpeedButton(10)->isEnabled());
    EXPECT_FALSE(win->CoolBar1->SpeedButton(11)->isEnabled());
    EXPECT_TRUE(win->testasdfasfdaf1->isEnabled());
    EXPECT_FALSE(win->ecd1->isEnabled());
    QTest::keyClick(list->ReportView(), Qt::Key_Delete);

    // A row selected in another category leaves the popup's "删除" enabled
    // when the operators come back with the supervisor still selected.
    showCategory("组");
    win->ListView(2)->SetSelected(0, true);
    showCategory("操作员");
    ASSERT_TRUE(win->ecd1->isEnabled());
    win->ecd1->trigger();
    win->SpeedButton11Click();
    EXPECT_TRUE(boxes.seen().empty());
    EXPECT_EQ(count("select * from operater where workcode='Kelvo'"), 1);

    list->SetSelected(row("op1"), true); // another row can go
    EXPECT_TRUE(win->CoolBar1->SpeedButton(11)->isEnabled());
    boxes.ok(); // the confirmation
    QTest::keyClick(list->ReportView(), Qt::Key_Delete);
    EXPECT_EQ(boxes.texts(), QStringList{"操作员删除后不能恢复，您确定要删除操作员 op1 吗？"});
    EXPECT_EQ(count("select * from operater where workcode='op1'"), 0);
    EXPECT_EQ(column("select * from operlog", "Action"), std::vector<std::string>{"删除操作员 op1"});
}

TEST_F(OperManageTest, TheSupervisorKeepsItsCodeAndAMismatchedPasswordWritesNothing)
{
    showCategory("操作员");
    win->ListView(1)->SetSelected(row("Kelvo"), true);
    boxes.ok(); // the password refusal
    modal.then<TfrmEditOper>([](TfrmEditOper *d) {
        EXPECT_TRUE(d->Edit1->isReadOnly());
        EXPECT_EQ(d->Edit4->text(), "tobrun");
        EXPECT_EQ(d->Edit5->text(), "tobrun");
        QTest::keyClicks(d->Edit4, "2");
        d->OkClick(); // modified: stays open after the refusal
        EXPECT_TRUE(d->isVisible());
        d->Edit4->setText("tobrun");
        d->Edit2->setText("主管");
        d->CheckListBox1->item(1)->setCheckState(Qt::Checked); // G2
        d->OkClick();
    });
    win->SpeedButton10Click();
    EXPECT_TRUE(modal.done());
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].text, "密码未通过确认，请保证密码和确认密码相同");
    EXPECT_EQ(boxes.seen()[0].icon, boxes::Icon::Error);
    EXPECT_EQ(links("select workcode || '/' || password || '/' || name as v from operater where name='主管' union all "
                    "select groupname from oper_group where workcode='Kelvo'"),
              (std::vector<std::string>{"Kelvo/tobrun/主管", "G2"}));
}

// Each Edit dialog writes its ticks into the right columns of its link table.
TEST_F(OperManageTest, LinkRowsFollowAnEditInEveryCategory)
{
    struct Case {
        const char *category, *key;
        std::function<void()> plan;
        const char *sql;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"操作员",
         "op1",
         [&] {
             modal.then<TfrmEditOper>([](TfrmEditOper *d) {
                 d->CheckListBox1->item(0)->setCheckState(Qt::Checked); // G1
                 d->OkClick();
             });
         },
         "select groupname as v from oper_group where workcode='op1'",
         {"G1"}},
        {"组",
         "G2",
         [&] {
             modal.then<TfrmEditGroup>([](TfrmEditGroup *d) {
                 d->Edit1->selectAll();
                 QTest::keyClicks(d->Edit1, "G9");                      // renamed: links under the new name
                 d->CheckListBox1->item(1)->setCheckState(Qt::Checked); // op1
                 d->CheckListBox2->item(0)->setCheckState(Qt::Checked); // M1
                 d->OkClick();
             });
         },
         "select workcode || '/' || groupname as v from oper_group union all "
         "select moduleid || '/' || groupname from group_module",
         {"op1/G1", "op1/G9", "M1/G9"}},
        {"模块",
         "M1",
         [&] {
             modal.then<TfrmEditModule>([](TfrmEditModule *d) {
                 ASSERT_EQ(d->CheckListBox1->count(), 2); // G1, G9
                 EXPECT_EQ(d->CheckListBox1->item(1)->checkState(), Qt::Checked);
                 d->CheckListBox1->item(0)->setCheckState(Qt::Checked);
                 d->CheckListBox1->item(1)->setCheckState(Qt::Unchecked);
                 d->OkClick();
             });
         },
         "select moduleid || '/' || groupname as v from group_module",
         {"M1/G1"}},
    };
    for (const Case &c : cases) {
        win->Refresh();
        showCategory(c.category);
        win->CurrentList->SetSelected(row(c.key), true);
        c.plan();
        win->SpeedButton10Click();
        EXPECT_TRUE(modal.done()) << c.category;
        EXPECT_EQ(links(c.sql), c.expected) << c.category;
    }
    EXPECT_TRUE(boxes.seen().empty());
}

// An operator created here logs in at the next start; one deleted does not.
TEST_F(OperManageTest, NewOperatorsLogInAndDeletedOnesDoNot)
{
    showCategory("操作员");
    boxes.ok(); // the password refusal
    boxes.ok(); // the failed insert
    boxes.ok(); // the delete confirmation
    modal.then<TfrmNewOper>([](TfrmNewOper *d) {
        auto fill = [d](const char *code, const char *password, const char *confirmation) {
            d->Edit1->setText(code);
            d->Edit2->setText("O'Brien");
            d->Edit4->setText(password);
            d->Edit5->setText(confirmation);
            d->Button1Click();
        };
        fill("op2", "pw2", "pw"); // refused before anything is written or counted
        EXPECT_EQ(d->Count(), 0);
        EXPECT_EQ(d->Edit1->text(), "op2");
        fill("op2", "pw2", "pw2");
        fill("op3", "pw3", "pw3");
        fill("KELVO", "x", "x"); // the supervisor's code in another case is taken
        EXPECT_EQ(d->Count(), 3);
        d->Button2Click();
    });
    win->SpeedButton12Click();
    EXPECT_EQ(boxes.texts(),
              (QStringList{"密码未通过确认，请保证密码和确认密码相同", "新增记录失败,请检查工号是否重复"}));
    EXPECT_EQ(column("select * from operlog order by rowid", "Action"),
              (std::vector<std::string>{"增加操作员op2", "增加操作员op3"}));
    EXPECT_EQ(column("select * from operater where workcode='op2'", "NAME"), std::vector<std::string>{"O'Brien"});

    win->CurrentList->SetSelected(row("op3"), true);
    win->SpeedButton11Click();
    ASSERT_EQ(win->CurrentList->Count(), 3);

    process.emplace(); // the end, and the next start
    boxes.clear();
    boxes.ok(); // the refused login
    modal.then<TfrmLogin>([](TfrmLogin *d) {
        d->Edit1->setText("op3");
        d->Edit2->setText("pw3");
        d->Button1Click();
        d->Edit1->setText("op2");
        d->Edit2->setText("pw2");
        d->Button1Click();
    });
    TMainFrm *next = process->OpenMainWindow();
    ASSERT_NE(next, nullptr);
    EXPECT_TRUE(next->LoggedIn());
    EXPECT_EQ(next->WorkCode, "op2");
    EXPECT_EQ(boxes.texts(), QStringList{"工号错误，请重新输入工号"});
}

} // namespace
