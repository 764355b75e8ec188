// The contacts and groups window: what each tree node shows, drops on the
// group tree, Delete in its three kinds, the tree commands, Find and the
// tree file from opening to closing.
#include "DeskFixture.h"
#include "ModelTester.h"
#include "TreeShape.h"

#include "desk/CoolBar.h"
#include "desk/ListView.h"
#include "desk/MdiClient.h"
#include "desk/StatusBar.h"
#include "desk/TermMan.h"
#include "desk/TreeFile.h"

#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QTableView>
#include <QTest>
#include <QToolButton>

namespace {

using Hit = TTreeView::THit;
using Part = TTreeView::THitPart;

const std::string Tree = g("联系人\r\n组\r\n\t手机电话本\r\n\t同事\r\n\t\t项目组\r\n\tALL\r\n\t无此组\r\n");

QStringList captions(const TListView *list)
{
    QStringList out;
    for (int row = 0; row < list->Count(); ++row)
        out << list->Caption(row);
    return out;
}

QStringList qt(const std::vector<std::string> &values)
{
    QStringList out;
    for (const std::string &v : values)
        out << QString::fromStdString(v);
    return out;
}

class TermMan : public DeskTest {
protected:
    void SetUp() override
    {
        DeskTest::SetUp();
        dir.write("TreeView.Txt", Tree);
        main = login();
        add("client", {{"CLIENTID", "张三"},
                       {"CONTACT", "13800000001"},
                       {"Sex", "女"},
                       {"NAME", "同学"},
                       {"PERSONID", "P1"},
                       {"PHONE", "010-1"},
                       {"EMAIL", "z@s"},
                       {"FAX", "010-2"}});
        add("client", {{"CLIENTID", "李四"}, {"CONTACT", "13800000002"}});
        add("client", {{"CLIENTID", "O'Brien"}, {"CONTACT", "13800000003"}, {"PHONE", "o'phone"}});
        add("client", {{"CLIENTID", "王五"}, {"CONTACT", "13800000004"}});
        add("cgroup", {{"GROUPNAME", "同事"}, {"DISCRIBE", "b"}});
        add("cgroup", {{"GROUPNAME", "项目组"}, {"DISCRIBE", "a"}});
        add("cgroup", {{"GROUPNAME", "ALL"}, {"DISCRIBE", "c"}});
        add("client_cgroup", {{"CLIENTID", "张三"}, {"GROUPNAME", "同事"}});
        add("client_cgroup", {{"CLIENTID", "O'Brien"}, {"GROUPNAME", "同事"}});
        add("client_cgroup", {{"CLIENTID", "李四"}, {"GROUPNAME", "项目组"}});
        main->show();
        main->activateWindow();
        QTRY_VERIFY(frmTermMan != nullptr); // the main window's first activation opens it
        win = frmTermMan;
        tree = win->TreeView1;
        list1 = win->ListView(1);
        list2 = win->ListView(2);
        for (TListView *list : {list1, list2})
            attachModelTester(list->ReportView()->model());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
        tree->expandAll();
    }
    QTreeWidgetItem *node(const QString &text) const
    {
        return tree->findItems(text, Qt::MatchExactly | Qt::MatchRecursive).value(0);
    }
    void select(const QString &text) const { tree->setCurrentItem(node(text)); }
    static std::vector<std::string> members(const char *group)
    {
        return column("select * from client_cgroup where groupname=" + QuotedStr(group) + " order by clientid",
                      "CLIENTID");
    }
    QMdiSubWindow *sub() const { return qobject_cast<QMdiSubWindow *>(win->parentWidget()); }

    TMainFrm *main = nullptr;
    TfrmTermMan *win = nullptr;
    TTreeView *tree = nullptr;
    TListView *list1 = nullptr;
    TListView *list2 = nullptr;
};

TEST_F(TermMan, OpensOnEveryContactWithTheTreeOfTheFile)
{
    EXPECT_TRUE(main->N2_old_old->isEnabled());
    EXPECT_EQ(win->windowTitle(), "联系人和组管理");
    EXPECT_EQ(shape(*tree), (QStringList{"联系人", "组", ".手机电话本", ".同事", "..项目组", ".ALL", ".无此组"}));
    ASSERT_NE(win->SelectedNode(), nullptr);
    EXPECT_EQ(win->SelectedNode()->text(0), "联系人");
    EXPECT_EQ(win->CurrentList, list1);
    EXPECT_TRUE(list1->isVisible());
    EXPECT_TRUE(win->Panel2->isVisible());
    EXPECT_FALSE(win->StatusBar1->isVisible());
    EXPECT_EQ(captions(list1), qt(column("select * from client order by clientid", "CLIENTID")));
    const int zhang = captions(list1).indexOf("张三");
    EXPECT_EQ(list1->SubItem(zhang, 0), "13800000001");
    EXPECT_EQ(list1->SubItem(zhang, 1), "同学");
    EXPECT_EQ(list1->SubItem(zhang, 2), "P1");
    // The group list was filled by the activation, in description order.
    EXPECT_EQ(captions(list2), (QStringList{"项目组", "同事", "ALL", "手机电话本"}));
    EXPECT_TRUE(boxes.seen().empty());
}

TEST_F(TermMan, EachNodeShowsItsList)
{
    add("client_cgroup", {{"CLIENTID", "幽灵"}, {"GROUPNAME", "同事"}}); // no such contact: shown all the same
    const QStringList everyone = qt(column("select * from client order by clientid", "CLIENTID"));
    const struct {
        const char *node;
        TListView *shown;
        QStringList rows;
    } cases[] = {
        {"组", list2, {"项目组", "同事", "ALL", "手机电话本"}},
        {"同事", list1, {"张三", "O'Brien", "幽灵"}}, // not the members of a group nested in it
        {"项目组", list1, {"李四"}},
        {"手机电话本", list1, {}},
        {"ALL", list1, everyone}, // a group named "ALL" lists every contact
        {"联系人", list1, everyone},
    };
    for (const auto &c : cases) {
        list1->SetSelected(0, true);
        select(c.node);
        EXPECT_EQ(win->CurrentList, c.shown) << c.node;
        EXPECT_TRUE(c.shown->isVisible()) << c.node;
        EXPECT_EQ((c.shown == list1 ? list2 : list1)->isVisible(), false) << c.node;
        EXPECT_EQ(win->Panel2->isVisible(), c.shown == list1) << c.node;
        EXPECT_EQ(captions(c.shown), c.rows) << c.node;
        EXPECT_FALSE(win->CoolBar1->SpeedButton(10)->isEnabled()) << c.node;
    }
}

TEST_F(TermMan, DetailPanelShowsTheFirstSelectedContact)
{
    list1->SetSelected(captions(list1).indexOf("王五"), true);
    list1->SetSelected(captions(list1).indexOf("O'Brien"), true);
    const QString first = list1->Caption(list1->Selected());
    EXPECT_EQ(win->LabelMobile->text(), first == "王五" ? "13800000004" : "13800000003");
    list1->ClearSelection(); // the labels keep their texts
    EXPECT_EQ(win->LabelMobile->text(), first == "王五" ? "13800000004" : "13800000003");
    list1->SetSelected(captions(list1).indexOf("O'Brien"), true);
    EXPECT_EQ(win->LabelMobile->text(), "13800000003");
    EXPECT_EQ(win->LabelPhone->text(), "o'phone");

    add("client_cgroup", {{"CLIENTID", "幽灵"}, {"GROUPNAME", "同事"}});
    select("同事");
    list1->SetSelected(captions(list1).indexOf("幽灵"), true);
    for (QLabel *l : {win->LabelMobile, win->LabelPhone, win->LabelEmail, win->LabelFax})
        EXPECT_EQ(l->text(), "");
    list1->SetSelected(captions(list1).indexOf("张三"), false);
    list1->SetSelected(captions(list1).indexOf("张三"), true);
    EXPECT_EQ(win->LabelEmail->text(), "z@s");
    EXPECT_EQ(win->LabelFax->text(), "010-2");
}

TEST_F(TermMan, AContactDroppedOnAGroupJoinsItOnce)
{
    QObject *rows = list1->ReportView();
    list1->SetSelected(captions(list1).indexOf("O'Brien"), true);
    list1->SetSelected(captions(list1).indexOf("王五"), true); // the first selected row is dragged
    const QString dragged = list1->Caption(list1->Selected());
    EXPECT_FALSE(win->TreeView1DragOver(rows, {node("联系人"), Part::Label}));
    EXPECT_TRUE(win->TreeView1DragOver(rows, {node("项目组"), Part::Right}));
    EXPECT_TRUE(win->TreeView1DragOver(rows, {nullptr, Part::Nowhere}));

    win->TreeView1DragDrop(rows, {node("项目组"), Part::Right});
    EXPECT_EQ(count("select * from client_cgroup where groupname='项目组' and clientid=" + desk::quoted(dragged)), 1);
    EXPECT_EQ(win->StatusBar1->PanelText(0), "添加" + dragged + "到项目组");
    win->StatusBar1->SetPanelText(0, "");
    win->TreeView1DragDrop(rows, {node("项目组"), Part::Label}); // a member already: nothing
    win->TreeView1DragDrop(rows, {node("组"), Part::Label});
    win->TreeView1DragDrop(rows, {node("联系人"), Part::Label});
    EXPECT_EQ(count("select * from client_cgroup"), 4);
    EXPECT_EQ(win->StatusBar1->PanelText(0), "");
    EXPECT_EQ(count("select * from operlog"), 0);
}

TEST_F(TermMan, AGroupNodeDraggedInTheTree)
{
    const QStringList before = {"联系人", "组", ".手机电话本", ".同事", "..项目组", ".ALL", ".无此组"};
    const struct {
        const char *dragged, *target;
        Part part;
        QStringList after;  // empty: as before
        const char *parent; // the dragged group's parent afterwards
    } cases[] = {
        {"项目组", "ALL", Part::Label, {"联系人", "组", ".手机电话本", ".同事", ".ALL", "..项目组", ".无此组"}, "ALL"},
        {"同事", "组", Part::Indent, {"联系人", "同事", ".项目组", "组", ".手机电话本", ".ALL", ".无此组"}, "组"},
        {"ALL",
         "手机电话本",
         Part::Icon,
         {"联系人", "组", ".手机电话本", "..ALL", ".同事", "..项目组", ".无此组"},
         "手机电话本"},
        {"同事", "项目组", Part::Label, {}, ""}, // into its own subtree
        {"同事", "ALL", Part::Button, {}, ""},
        {"同事", "ALL", Part::Right, {}, ""},
        // No group of that name: no row is made for it.
        {"无此组",
         "ALL",
         Part::Label,
         {"联系人", "组", ".手机电话本", ".同事", "..项目组", ".ALL", "..无此组"},
         nullptr},
    };
    for (const auto &c : cases) {
        treefile::read(tree, Tree);
        tree->expandAll();
        exec("update cgroup set parent=''");
        select(c.dragged);
        const Hit hit{node(c.target), c.part};
        ASSERT_TRUE(win->TreeView1DragOver(tree, hit)) << c.dragged << " on " << c.target;
        win->TreeView1DragDrop(tree, hit);
        EXPECT_EQ(shape(*tree), c.after.isEmpty() ? before : c.after) << c.dragged << " on " << c.target;
        EXPECT_EQ(win->SelectedNode(), node(c.dragged)) << c.dragged;
        if (c.parent) {
            EXPECT_EQ(column("select * from cgroup where groupname=" + QuotedStr(c.dragged), "parent"),
                      std::vector<std::string>{c.parent});
        }
        EXPECT_EQ(count("select * from cgroup"), 4) << c.dragged;
    }
    // Refused while dragging: onto "联系人", onto a node of the same text, "联系人" itself.
    select("同事");
    EXPECT_FALSE(win->TreeView1DragOver(tree, {node("联系人"), Part::Label}));
    EXPECT_FALSE(win->TreeView1DragOver(tree, {node("同事"), Part::Label}));
    select("联系人");
    EXPECT_FALSE(win->TreeView1DragOver(tree, {node("ALL"), Part::Label}));

    auto other = anotherProgramsLock(); // told, and the node stays where its row says
    boxes.ok();
    select("项目组");
    win->TreeView1DragDrop(tree, {node("ALL"), Part::Label});
    EXPECT_TRUE(boxes.texts().value(0).startsWith("数据库正被其他程序占用"));
    EXPECT_EQ(node("项目组")->parent(), node("同事"));
    EXPECT_EQ(column("select * from cgroup where groupname='项目组'", "parent"), std::vector<std::string>{""});
}

TEST_F(TermMan, AGroupRowDroppedOnANodePutsItInTheTree)
{
    select("组");
    list2->SetSelected(captions(list2).indexOf("同事"), true);
    win->TreeView1DragDrop(list2->ReportView(), {node("ALL"), Part::Right});
    EXPECT_EQ(shape(*tree),
              (QStringList{"联系人", "组", ".手机电话本", ".同事", "..项目组", ".ALL", "..同事", ".无此组"}));
    EXPECT_EQ(count("select * from cgroup"), 4);
}

TEST_F(TermMan, TheRowsOfANodeLieInTheOrderOfItsParts)
{
    // From the left edge of a nested node that has children: the levels
    // above it, its button, its icon, its label, the space right of it.
    QTreeWidgetItem *colleagues = node("同事");
    const QRect row = tree->visualItemRect(colleagues);
    std::vector<Part> parts;
    for (int x = 0; x < tree->viewport()->width(); ++x) {
        const Hit hit = tree->HitTest({x, row.center().y()});
        ASSERT_EQ(hit.node, colleagues) << x;
        if (parts.empty() || parts.back() != hit.part)
            parts.push_back(hit.part);
    }
    EXPECT_EQ(parts,
              (std::vector<Part>{Part::Indent, Part::Button, Part::Indent, Part::Icon, Part::Label, Part::Right}));
}

TEST_F(TermMan, DeleteOfAContactAsksFirstAndRespectsTerminals)
{
    add("terminate", {{"CLIENTID", "张三"}});
    list1->SetSelected(captions(list1).indexOf("张三"), true);
    boxes.ok();
    boxes.ok();
    win->SpeedButton11Click();
    EXPECT_EQ(boxes.texts(), (QStringList{"联系人删除后不能恢复，您确定要删除联系人 张三 吗？",
                                          "对不起，该联系人占用了短消息终端，不能删除\r\n"
                                          "若要删除该联系人，请先对相应终端中的联系人编码进行清除"}));
    EXPECT_EQ(boxes.seen()[1].caption, "操作失败！");
    EXPECT_EQ(count("select * from client"), 4);

    // Several rows and the Delete key: the first selected row only.
    list1->ClearSelection();
    list1->SetSelected(captions(list1).indexOf("王五"), true);
    list1->SetSelected(captions(list1).indexOf("O'Brien"), true);
    const QString first = list1->Caption(list1->Selected());
    boxes.ok();
    QTest::keyClick(list1->ReportView(), Qt::Key_Delete);
    EXPECT_EQ(boxes.texts().back(), "联系人删除后不能恢复，您确定要删除联系人 " + first + " 吗？");
    EXPECT_EQ(count("select * from client where clientid=" + desk::quoted(first)), 0);
    EXPECT_EQ(count("select * from client"), 3);
    EXPECT_EQ(captions(list1).indexOf(first), -1);
    EXPECT_EQ(list1->Count(), 3);
    EXPECT_EQ(qt(column("select * from operlog", "Action")), QStringList{"删除联系人 " + first});
    EXPECT_EQ(count("select * from client_cgroup"), 3); // memberships stay
}

TEST_F(TermMan, DeleteOnAGroupNodeOnlyTakesTheContactOutOfTheGroup)
{
    select("同事");
    list1->SetSelected(captions(list1).indexOf("O'Brien"), true);
    boxes.cancel();
    win->SpeedButton11Click();
    EXPECT_EQ(members("同事").size(), 2u);
    boxes.ok();
    QTest::keyClick(list1->ReportView(), Qt::Key_Delete);
    ASSERT_EQ(boxes.seen().size(), 2u);
    EXPECT_EQ(boxes.seen()[1].text, "您确认从同事中去除O'Brien吗?");
    EXPECT_EQ(boxes.seen()[1].caption, "从组中去除联系人");
    EXPECT_EQ(members("同事"), std::vector<std::string>{"张三"});
    EXPECT_EQ(captions(list1), QStringList{"张三"});
    EXPECT_EQ(win->StatusBar1->PanelText(0), "从同事中去除O'Brien");
    EXPECT_EQ(count("select * from client"), 4);
    EXPECT_EQ(count("select * from operlog"), 0);
}

TEST_F(TermMan, DeleteOfAGroupTakesItsNodeOnlyOnceTheGroupIsGone)
{
    treefile::read(tree, g("联系人\r\n组\r\n\tALL\r\n\t\t同事\r\n\t同事\r\n"));
    select("组");
    list2->SetSelected(captions(list2).indexOf("同事"), true);
    boxes.ok();
    win->SpeedButton11Click();
    EXPECT_EQ(boxes.texts(), QStringList{"组删除后不能恢复，您确定要删除组 同事 吗？"});
    EXPECT_EQ(shape(*tree), (QStringList{"联系人", "组", ".ALL", "..同事"})); // the nested node stays
    EXPECT_EQ(count("select * from cgroup where groupname='同事'"), 0);
    EXPECT_EQ(qt(column("select * from operlog", "Action")), QStringList{"删除组 同事"});

    // A statement that fails leaves the node where it is.
    tree->AddNode(node("组"), "ALL");
    list2->SetSelected(captions(list2).indexOf("ALL"), true);
    exec("drop table cgroup");
    boxes.ok();
    EXPECT_THROW(win->SpeedButton11Click(), EDatabaseError);
    EXPECT_EQ(shape(*tree), (QStringList{"联系人", "组", ".ALL", "..同事", ".ALL"}));
}

TEST_F(TermMan, TreeNodeRemovalChangesOnlyTheTree)
{
    for (const char *kept : {"手机电话本", "联系人", "组"}) {
        select(kept);
        win->N9Click();
    }
    EXPECT_TRUE(boxes.seen().empty());
    select("同事");
    boxes.cancel();
    win->N9Click();
    EXPECT_NE(node("同事"), nullptr);
    boxes.ok();
    win->N9Click();
    ASSERT_EQ(boxes.seen().size(), 2u);
    EXPECT_EQ(boxes.seen()[1].text, "你确定删除同事吗?");
    EXPECT_EQ(boxes.seen()[1].caption, "删除组");
    EXPECT_EQ(shape(*tree), (QStringList{"联系人", "组", ".手机电话本", ".ALL", ".无此组"}));
    EXPECT_EQ(count("select * from cgroup"), 4);
    EXPECT_EQ(members("同事").size(), 2u);

    // "编辑组" of a node whose group is not in the list says so.
    select("无此组");
    boxes.ok();
    win->N11Click();
    EXPECT_EQ(win->CurrentList, list2);
    EXPECT_EQ(boxes.texts().back(), "无此组不存在");
}

TEST_F(TermMan, FindSelectsTheFirstCaptionHoldingTheText)
{
    const QStringList all = captions(list1);
    const struct {
        const char *text;
        QString expected; // the row found; "" for none
    } cases[] = {{"四", "李四"}, {"'B", "O'Brien"}, {"'b", ""}, {"", ""}, {"不在", ""}};
    for (const auto &c : cases) {
        list1->ClearSelection();
        list1->SetSelected(all.indexOf("王五"), true);
        win->EditFind->setText(c.text);
        QTest::keyClick(win->EditFind, Qt::Key_Return);
        EXPECT_EQ(list1->IsSelected(all.indexOf("王五")), true) << c.text; // added to the selection
        EXPECT_EQ(list1->SelCount(), c.expected.isEmpty() ? 1 : 2) << c.text;
        if (!c.expected.isEmpty()) {
            EXPECT_TRUE(list1->IsSelected(all.indexOf(c.expected))) << c.text;
        }
    }
    select("组");
    list2->SetSelected(0, true);
    win->EditFind->setText("事");
    win->SpeedButton14Click();
    EXPECT_EQ(list2->SelCount(), 1);
    EXPECT_EQ(list2->Caption(list2->Selected()), "同事");
}

TEST_F(TermMan, OnlyTheGroupRootRefusesToCollapse)
{
    node("组")->setExpanded(false);
    node("同事")->setExpanded(false);
    EXPECT_TRUE(node("组")->isExpanded());
    EXPECT_FALSE(node("同事")->isExpanded());
}

TEST_F(TermMan, EveryActivationReloadsTheGroupList)
{
    add("cgroup", {{"GROUPNAME", "新组"}, {"DISCRIBE", "d"}});
    QMdiSubWindow *contacts = sub();
    main->N3_old_oldClick(); // the operation log comes in front
    EXPECT_EQ(list2->Count(), 4);
    main->MDIClient->setActiveSubWindow(contacts);
    EXPECT_EQ(captions(list2), (QStringList{"项目组", "同事", "ALL", "新组", "手机电话本"}));
}

TEST_F(TermMan, ClosingWritesTheTreeAndAnIncompleteFileIsKept)
{
    select("项目组");
    win->TreeView1DragDrop(tree, {node("ALL"), Part::Label});
    sub()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frmTermMan, nullptr);
    const std::string written = g("联系人\r\n组\r\n\t手机电话本\r\n\t同事\r\n\tALL\r\n\t\t项目组\r\n\t无此组\r\n");
    EXPECT_EQ(dir.read("TreeView.Txt"), written);
    main->N2_old_oldClick(); // a new window reads the file again; closed unchanged, the same bytes
    frmTermMan->parentWidget()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(dir.read("TreeView.Txt"), written);

    // A line two levels too deep: reported once, the nodes before it stay,
    // and closing leaves the file as it was.
    const std::string broken = g("联系人\r\n组\r\n\t同事\r\n\t\t\t深\r\n\tALL\r\n");
    dir.write("TreeView.Txt", broken);
    boxes.ok();
    main->N2_old_oldClick();
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].kind, boxes::Kind::Error);
    EXPECT_TRUE(boxes.seen()[0].text.startsWith("节点“深”的层级（3）无效"));
    EXPECT_EQ(shape(*frmTermMan->TreeView1), (QStringList{"联系人", "组", ".同事"}));
    frmTermMan->parentWidget()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(frmTermMan, nullptr);
    EXPECT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(dir.read("TreeView.Txt"), broken);
}

} // namespace
