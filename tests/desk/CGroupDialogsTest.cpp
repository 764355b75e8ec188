// The contact-group dialogs, opened from the contacts window: groups made
// one after another, each with its node, names the tree file could not give
// back refused, the member list, and a rename reaching child groups, member
// rows and tree nodes all or nothing.
#include "DeskFixture.h"
#include "TreeShape.h"

#include "desk/CGroupDialogs.h"
#include "desk/ListView.h"
#include "desk/TermMan.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <memory>

namespace {

const QStringList Shape = {"联系人", "组", ".手机电话本", ".同事", "..项目组", ".ALL", "..同事"};

class CGroupDialogs : public DeskTest {
protected:
    void SetUp() override
    {
        DeskTest::SetUp();
        dir.write("TreeView.Txt", g("联系人\r\n组\r\n\t手机电话本\r\n\t同事\r\n\t\t项目组\r\n\tALL\r\n\t\t同事\r\n"));
        main = login();
        for (const char *id : {"张三", "李四", "O'Brien", "王五"})
            add("client", {{"CLIENTID", id}});
        add("cgroup", {{"GROUPNAME", "同事"}, {"DISCRIBE", "b"}});
        add("cgroup", {{"GROUPNAME", "项目组"}, {"parent", "同事"}});
        add("cgroup", {{"GROUPNAME", "ALL"}, {"parent", "同事"}});
        for (const char *id : {"O'Brien", "张三", "幽灵"}) // 幽灵: no such contact
            add("client_cgroup", {{"CLIENTID", id}, {"GROUPNAME", "同事"}});
        add("task_cgroup", {{"TASKID", "T1"}, {"GROUPNAME", "同事"}});
        main->show();
        main->activateWindow();
        QTRY_VERIFY(frmTermMan != nullptr);
        win = frmTermMan;
        win->TreeView1->expandAll();
    }
    QTreeWidgetItem *node(const QString &text, int which = 0) const
    {
        return win->TreeView1->findItems(text, Qt::MatchExactly | Qt::MatchRecursive).value(which);
    }
    // Every group with its parent, every member row and task row, sorted.
    static std::vector<std::string> stored(std::vector<std::string> rows = {})
    {
        if (rows.empty())
            rows = column("select groupname || '<' || ifnull(parent, '') as v from cgroup union all "
                          "select groupname || ':' || clientid from client_cgroup union all "
                          "select groupname || '@' || taskid from task_cgroup",
                          "v");
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    TMainFrm *main = nullptr;
    TfrmTermMan *win = nullptr;
};

TEST_F(CGroupDialogs, ANodeForEveryGroupCreatedInASession)
{
    const char *broken = "create trigger nolog before insert on operlog begin select raise(abort, 'full'); end";
    struct Attempt {
        const char *name, *describe;
        bool logFails;
    };
    const struct {
        std::vector<Attempt> attempts;
        QStringList nodes; // added under "组"; none after Cancel
        int failures;
    } sessions[] = {
        {{{"甲组", "d'1", false}, {"同事", "x", false}, {"O'Neil组", "", false}}, {"甲组", "O'Neil组"}, 1},
        {{{"同事", "", false}, {"乙组", "", true}}, {}, 2}, // the group goes with its failed log row
        {{{"乙组", "", true}, {"丙组", "c", false}}, {"丙组"}, 1},
    };
    QStringList nodes = Shape;
    QString handed;
    for (const auto &s : sessions) {
        boxes.clear();
        for (int i = 0; i < s.failures; ++i)
            boxes.ok();
        modal.then<TfrmNewCGroup>([&](TfrmNewCGroup *d) {
            EXPECT_FALSE(d->Button1->isEnabled());
            for (const Attempt &a : s.attempts) {
                exec(a.logFails ? broken : "drop trigger if exists nolog");
                d->Edit1->setText(a.name);
                d->Edit2->setText(a.describe);
                d->Button1->click();
                EXPECT_TRUE(d->Edit1->text().isEmpty() && d->Edit2->text().isEmpty());
            }
            exec("drop trigger if exists nolog");
            d->Button2->click();
        });
        win->TreeView1->setCurrentItem(node("组"));
        win->SpeedButton12Click();
        EXPECT_TRUE(modal.done());
        EXPECT_EQ(boxes.texts(), QStringList(s.failures, "新增记录失败,请检查组名称是否重复"));
        for (const QString &n : s.nodes)
            nodes << "." + (handed = n);
        EXPECT_EQ(shape(*win->TreeView1), nodes) << s.nodes.join(' ').toStdString();
        EXPECT_EQ(NewGroupName, handed);
    }
    EXPECT_EQ(column("select groupname || '/' || discribe || '/' || ifnull(parent, '') as v from cgroup "
                     "where groupname not in ('同事', '项目组', 'ALL', '手机电话本') order by rowid",
                     "v"),
              (std::vector<std::string>{"甲组/d'1/", "O'Neil组//", "丙组/c/"}));
    EXPECT_EQ(column("select * from operlog order by rowid", "Action"),
              (std::vector<std::string>{"增加组甲组", "增加组O'Neil组", "增加组丙组"}));
}

TEST_F(CGroupDialogs, FourGroupsOfOneOpeningKeepTheirNodesThroughTheTreeFile)
{
    const QStringList names = {"一组", "O'Brien组", "a b", "全角　中间"};
    modal.then<TfrmNewCGroup>([&](TfrmNewCGroup *d) {
        for (const QString &name : names) {
            d->Edit1->setText(name);
            d->Button1->click();
        }
        d->Button2->click();
    });
    win->TreeView1->setCurrentItem(node("组"));
    win->SpeedButton12Click();
    EXPECT_TRUE(modal.done());

    QStringList nodes = Shape;
    for (const QString &name : names)
        nodes << "." + name;
    EXPECT_EQ(shape(*win->TreeView1), nodes);
    win->parentWidget()->close(); // writes the tree file
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_EQ(frmTermMan, nullptr);
    EXPECT_EQ(dir.read("TreeView.Txt"),
              g("联系人\r\n组\r\n\t手机电话本\r\n\t同事\r\n\t\t项目组\r\n\tALL\r\n\t\t同事\r\n"
                "\t一组\r\n\tO'Brien组\r\n\ta b\r\n\t全角　中间\r\n"));
    main->N2_old_oldClick(); // read again
    ASSERT_NE(frmTermMan, nullptr);
    frmTermMan->TreeView1->expandAll();
    EXPECT_EQ(shape(*frmTermMan->TreeView1), nodes);
}

// A name is refused before anything is written: by the new-group dialog,
// which keeps the typed name for correction, and by the editor, which stays
// open.
TEST_F(CGroupDialogs, NamesTheTreeFileCannotGiveBackAreRefused)
{
    const struct {
        QString name, box;
    } cases[] = {
        {" 前空格", "组名的开头和结尾不能是空格！"},
        {"后空格 ", "组名的开头和结尾不能是空格！"},
        {"\t制表", "组名中不能有制表符、换行符等控制字符！"},
        {"　全角空格", "组名的开头和结尾不能是空格！"},
        {"制\t表", "组名中不能有制表符、换行符等控制字符！"},
        {"换\n行", "组名中不能有制表符、换行符等控制字符！"},
        {"回\r车", "组名中不能有制表符、换行符等控制字符！"},
        {"표韩文", "组名中的字符“표”不能保存到组树文件中，请换用其他字符！"},
        {"emoji😀", "组名中的字符“😀”不能保存到组树文件中，请换用其他字符！"},
        {"", "组名不能为空！"}, // the editor only: "创建" needs a name
    };
    const std::vector<std::string> before = stored();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        boxes.clear();
        if (!c.name.isEmpty()) {
            boxes.ok();
            modal.then<TfrmNewCGroup>([&](TfrmNewCGroup *d) {
                d->Edit1->setText(c.name);
                d->Edit2->setText("描述");
                d->Button1->click();
                EXPECT_EQ(d->Edit1->text(), c.name);
                EXPECT_TRUE(d->Button1->isEnabled());
                d->Button2->click();
            });
            win->TreeView1->setCurrentItem(node("组"));
            win->SpeedButton12Click();
            EXPECT_TRUE(modal.done());
        }
        boxes.ok();
        win->TreeView1->setCurrentItem(node("同事"));
        modal.then<TfrmEditCGroup>([&](TfrmEditCGroup *d) {
            QTest::keyClick(d->Edit1, Qt::Key_End);
            d->Edit1->setText(c.name);
            d->OkButton->click();
            EXPECT_TRUE(d->isVisible());
            d->CancelButton->click();
        });
        win->N11Click();
        EXPECT_TRUE(modal.done());
        EXPECT_EQ(boxes.texts(), QStringList(c.name.isEmpty() ? 1 : 2, c.box));
        EXPECT_EQ(stored(), before);
        EXPECT_TRUE(column("select * from operlog", "Action").empty());
        EXPECT_EQ(shape(*win->TreeView1), Shape);
    }
}

TEST_F(CGroupDialogs, MembersComeFirstAndAnUnchangedSaveReListsTheNode)
{
    add("client", {{"CLIENTID", "ann"}});
    add("client_cgroup", {{"CLIENTID", "ANN"}, {"GROUPNAME", "同事"}}); // the contact ann, letter case aside
    win->TreeView1->setCurrentItem(node("同事"));
    modal.then<TfrmEditCGroup>([](TfrmEditCGroup *d) {
        EXPECT_EQ(d->Edit2->text(), "b");
        EXPECT_EQ(checkListText(d->CheckListBox1), (QStringList{"O'Brien+", "张三+", "幽灵+", "ANN+", "李四", "王五"}));
        d->OkButton->click();
    });
    win->N11Click(); // the group list in front, the row of 同事 selected, Edit
    EXPECT_TRUE(modal.done());
    EXPECT_FALSE(win->Changed);
    EXPECT_EQ(win->CurrentList, win->ListView(1)); // the tree-change handler re-listed 同事
    EXPECT_EQ(win->ListView(1)->Count(), 4);
    EXPECT_EQ(shape(*win->TreeView1), Shape);
}

TEST_F(CGroupDialogs, ARenameReachesChildGroupsMembersAndEveryNode)
{
    win->TreeView1->setCurrentItem(node("同事", 1)); // the node nested under ALL
    modal.then<TfrmEditCGroup>([](TfrmEditCGroup *d) {
        QTest::keyClick(d->Edit1, Qt::Key_End);
        d->Edit1->setText("O'Group");
        d->Edit2->setText("新");
        d->CheckListBox1->item(1)->setCheckState(Qt::Unchecked); // 张三
        d->CheckListBox1->item(4)->setCheckState(Qt::Checked);   // 王五
        d->OkButton->click();
    });
    win->N11Click();
    EXPECT_TRUE(modal.done());
    EXPECT_EQ(stored(), stored({"ALL<O'Group", "O'Group:O'Brien", "O'Group:幽灵", "O'Group:王五", "O'Group<",
                                "手机电话本<", "项目组<O'Group",
                                // rows under the former name stay: task T1 still reaches its members
                                "同事:O'Brien", "同事:张三", "同事:幽灵", "同事@T1"}));
    EXPECT_EQ(column("select * from cgroup where groupname='O''Group'", "DISCRIBE"), std::vector<std::string>{"新"});
    EXPECT_EQ(shape(*win->TreeView1),
              (QStringList{"联系人", "组", ".手机电话本", ".O'Group", "..项目组", ".ALL", "..O'Group"}));
    EXPECT_TRUE(win->Changed);
    EXPECT_EQ(win->ListView(1)->Count(), 3); // the renamed node lists the new member rows
}

TEST_F(CGroupDialogs, AFailedSaveChangesNothing)
{
    const struct {
        const char *name, *fault, *box;
    } cases[] = {
        {"项目组", "", "更新纪录失败，请检查组名是否重复！"},
        {"新名", "create trigger nomember before insert on client_cgroup begin select raise(abort, 'no'); end",
         "记录重复或不合要求（no）"},
    };
    const std::vector<std::string> before = stored();
    for (const auto &c : cases) {
        boxes.clear();
        boxes.ok();
        if (*c.fault)
            exec(c.fault);
        win->TreeView1->setCurrentItem(node("同事"));
        modal.then<TfrmEditCGroup>([&](TfrmEditCGroup *d) {
            QTest::keyClick(d->Edit1, Qt::Key_End);
            d->Edit1->setText(c.name);
            d->OkButton->click();
            EXPECT_TRUE(d->isVisible()); // the typed name stays for another try
            d->CancelButton->click();
        });
        win->N11Click();
        EXPECT_TRUE(modal.done());
        EXPECT_EQ(boxes.texts(), QStringList{c.box});
        EXPECT_EQ(stored(), before) << c.name;
        EXPECT_EQ(shape(*win->TreeView1), Shape) << c.name;
        EXPECT_FALSE(win->Changed);
        exec("drop trigger if exists nomember");
    }
}

TEST_F(CGroupDialogs, AnotherProgramsLockIsToldAtOnceAndTheSameDialogSavesAfterIt)
{
    auto other = anotherProgramsLock();
    boxes.ok();
    win->TreeView1->setCurrentItem(node("同事"));
    modal.then<TfrmEditCGroup>([&](TfrmEditCGroup *d) {
        QTest::keyClick(d->Edit2, Qt::Key_End);
        d->Edit2->setText(QStringLiteral("锁住时写的"));
        QElapsedTimer told;
        told.start();
        d->OkButton->click();
        EXPECT_LT(told.elapsed(), 3000); // about a second, not the five of old
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(d->Edit2->text(), QStringLiteral("锁住时写的"));
        other.reset(); // the other program lets go
        d->OkButton->click();
    });
    win->N11Click();
    EXPECT_TRUE(modal.done());
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(boxes.texts()[0].startsWith(QStringLiteral("数据库正被其他程序占用")))
        << boxes.texts()[0].toStdString();
    EXPECT_EQ(column("select * from cgroup where groupname='同事'", "DISCRIBE"),
              std::vector<std::string>{"锁住时写的"});
}

} // namespace
