#include "DeskFixture.h"
#include "ModelTester.h"
#include "TestWindows.h"

#include "desk/CoolBar.h"
#include "desk/ListView.h"
#include "desk/MdiClient.h"
#include "desk/OperLog.h"

#include <QAbstractItemModel>
#include <QMenu>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

namespace {

class ManagerFrame : public DeskTest {
protected:
    void SetUp() override
    {
        DeskTest::SetUp();
        main = login();
        main->show();
        add("smstype", {{"TYPEID", "T1"}, {"NAME", "一"}});
        add("smstype", {{"TYPEID", "T2"}, {"NAME", "二"}});
        add("workgroup", {{"GROUPNAME", "G1"}, {"DISCRIBE", "d1"}});
        add("operater", {{"WORKCODE", "op1"}});
        newDialogsMade = editDialogsMade = 0;
        win = main->OpenManager(frmTestMan);
        list1 = win->ListView(1);
        list2 = win->ListView(2);
        for (TListView *list : {list1, list2})
            attachModelTester(list->ReportView()->model());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
        QCoreApplication::processEvents();
    }
    QTreeWidgetItem *node(const char *text) const { return win->TreeView1->findItems(text, Qt::MatchExactly).value(0); }
    QToolButton *button(int n) const { return win->CoolBar1->SpeedButton(n); }
    QAction *popup(int index) const { return win->PopupMenu1->actions().at(index); }
    // Double click on a row, or on the empty space below the rows (row -1).
    static void doubleClick(TListView *list, int row)
    {
        QTableView *v = list->ReportView();
        const QPoint at =
            row >= 0 ? v->visualRect(v->model()->index(row, 0)).center() : QPoint(10, v->viewport()->height() - 5);
        // As the platform delivers it: a click, then a press with the double click.
        QTest::mouseClick(v->viewport(), Qt::LeftButton, {}, at);
        QTest::mousePress(v->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(v->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(v->viewport(), Qt::LeftButton, {}, at);
    }

    TMainFrm *main = nullptr;
    TTestMan *win = nullptr;
    TListView *list1 = nullptr;
    TListView *list2 = nullptr;
};

TEST_F(ManagerFrame, OpensWithTheFirstListAndDisabledEditAndDelete)
{
    EXPECT_EQ(win->CurrentList, list1);
    EXPECT_TRUE(list1->isVisible());
    EXPECT_FALSE(list2->isVisible());
    EXPECT_EQ(list1->Count(), 2);
    EXPECT_EQ(win->refreshes, 1);
    EXPECT_FALSE(button(10)->isEnabled());
    EXPECT_FALSE(button(11)->isEnabled());
    EXPECT_TRUE(button(12)->isEnabled());
    QStringList items;
    for (QAction *a : win->PopupMenu1->actions())
        items << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(items, (QStringList{"增加", "编辑  ", "-", "删除"}));
}

TEST_F(ManagerFrame, CategoryChangeDisablesTheButtonsButNotThePopupItems)
{
    list1->SetSelected(0, true);
    EXPECT_TRUE(button(10)->isEnabled());
    EXPECT_TRUE(button(11)->isEnabled());
    EXPECT_TRUE(popup(1)->isEnabled());
    EXPECT_TRUE(popup(3)->isEnabled());

    win->TreeView1->setCurrentItem(node("组"));
    EXPECT_EQ(win->CurrentList, list2);
    EXPECT_TRUE(list2->isVisible());
    EXPECT_FALSE(list1->isVisible());
    EXPECT_FALSE(button(10)->isEnabled());
    EXPECT_FALSE(button(11)->isEnabled());
    EXPECT_TRUE(popup(1)->isEnabled());
    EXPECT_TRUE(popup(3)->isEnabled());
    // Used on a list without a selected row, they do nothing.
    popup(1)->trigger();
    popup(3)->trigger();
    EXPECT_EQ(editDialogsMade, 0);
    EXPECT_TRUE(boxes.seen().empty());

    win->TreeView1->setCurrentItem(node("类型")); // the row there is still selected
    EXPECT_EQ(win->CurrentList, list1);
    EXPECT_EQ(list1->Selected(), 0);
    EXPECT_FALSE(button(10)->isEnabled());
    list1->SetSelected(1, true); // a change of selection enables them again
    EXPECT_TRUE(button(10)->isEnabled());
    EXPECT_TRUE(button(11)->isEnabled());
    list1->ClearSelection();
    EXPECT_FALSE(button(10)->isEnabled());
    EXPECT_FALSE(popup(3)->isEnabled());
}

TEST_F(ManagerFrame, DeleteKeyAndDoubleClickActOnlyOnASelectedRow)
{
    win->TreeView1->setCurrentItem(node("类型"));
    QTest::keyClick(list1->ReportView(), Qt::Key_Delete);
    doubleClick(list1, -1);
    EXPECT_TRUE(boxes.seen().empty());
    EXPECT_EQ(editDialogsMade, 0);
    EXPECT_EQ(newDialogsMade, 0);

    modal.then<TTestEditType>([](TTestEditType *d) {
        EXPECT_EQ(d->Edit1->text(), "T2");
        EXPECT_EQ(d->Edit2->text(), "二");
        d->CancelClick();
    });
    doubleClick(list1, 1);
    EXPECT_EQ(editDialogsMade, 1);
    EXPECT_TRUE(modal.done());

    boxes.cancel();
    QTest::keyClick(list1->ReportView(), Qt::Key_Delete);
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(count("select * from smstype"), 2); // Cancel: nothing changes
    EXPECT_EQ(list1->Count(), 2);
}

TEST_F(ManagerFrame, DeleteConfirmsWithTheCategoryTwiceAndLogsIt)
{
    add("smstype", {{"TYPEID", "O'K"}});
    win->Refresh();
    const int refreshes = win->refreshes;
    list1->SetSelected(0, true);
    win->SpeedButton11Click(); // no tree node selected: nothing
    EXPECT_TRUE(boxes.seen().empty());

    win->TreeView1->setCurrentItem(node("类型"));
    list1->SetSelected(2, true);
    boxes.ok();
    win->SpeedButton11Click();
    ASSERT_EQ(boxes.seen().size(), 1u);
    const boxes::Request &asked = boxes.seen()[0];
    EXPECT_EQ(asked.text, "类型删除后不能恢复，您确定要删除类型 O'K 吗？");
    EXPECT_EQ(asked.caption, "删除类型");
    EXPECT_EQ(asked.kind, boxes::Kind::Confirm);
    EXPECT_EQ(asked.icon, boxes::Icon::None);
    EXPECT_EQ(asked.owner, win);
    EXPECT_EQ(column("select * from smstype order by rowid", "TYPEID"), (std::vector<std::string>{"T1", "T2"}));
    EXPECT_EQ(column("select * from operlog", "Action"), std::vector<std::string>{"删除类型 O'K"});
    EXPECT_EQ(column("select * from operlog", "WORKCODE"), std::vector<std::string>{"kelvo"});
    EXPECT_EQ(count("select * from operlog where OperTime is not null"), 1);
    EXPECT_EQ(list1->Count(), 2); // the row went without a reload
    EXPECT_EQ(win->refreshes, refreshes);
}

TEST_F(ManagerFrame, PopupsViewStylesAndTreeToggle)
{
    QTest::mouseClick(button(1), Qt::LeftButton);
    EXPECT_TRUE(win->PopupMenu1->isVisible());
    win->PopupMenu1->hide();
    win->N3Click();
    EXPECT_EQ(list1->Style(), TListView::ViewStyle::SmallIcon);
    win->N2Click(); // "列表" is the report style
    EXPECT_EQ(list1->Style(), TListView::ViewStyle::Report);
    QTest::mouseClick(button(7), Qt::LeftButton);
    EXPECT_EQ(list1->Style(), TListView::ViewStyle::Icon);
    EXPECT_EQ(list2->Style(), TListView::ViewStyle::Report); // only the current list
    QTest::mouseClick(button(3), Qt::LeftButton);
    EXPECT_FALSE(win->TreeView1->isVisible());
    QTest::mouseClick(button(3), Qt::LeftButton);
    EXPECT_TRUE(win->TreeView1->isVisible());
}

// --- New ---------------------------------------------------------------

TEST_F(ManagerFrame, NewClosedAfterOnlyFailedAttemptsStillReloads)
{
    const int refreshes = win->refreshes;
    boxes.ok(); // the two failed inserts
    boxes.ok();
    modal.then<TTestNewType>([&](TTestNewType *d) {
        EXPECT_FALSE(d->Button1->isEnabled());
        d->Edit1->setText("T1"); // taken
        EXPECT_TRUE(d->Button1->isEnabled());
        d->Edit2->setText("dup");
        d->Button1Click();
        EXPECT_EQ(d->Count(), 1);
        EXPECT_TRUE(d->Edit1->text().isEmpty());
        EXPECT_TRUE(d->Edit2->text().isEmpty());
        EXPECT_FALSE(d->Button1->isEnabled());
        d->Edit1->setText("T2");
        d->Button1Click();
        d->Button2Click();
    });
    win->SpeedButton12Click();
    EXPECT_TRUE(modal.done());
    EXPECT_EQ(boxes.texts(), QStringList(2, "新增记录失败,请检查类型编号是否重复"));
    EXPECT_EQ(win->refreshes, refreshes + 1);
    EXPECT_EQ(count("select * from operlog"), 0); // no log row for a failed insert
}

TEST_F(ManagerFrame, NewWithoutAnAttemptReturnsCancelAndTheOwnCheckCountsNothing)
{
    const int refreshes = win->refreshes;
    boxes.ok(); // the dialog's own check
    modal.then<TTestNewType>([&](TTestNewType *d) {
        d->Edit1->setText("T9");
        d->Edit2->setText("bad");
        d->Button1Click(); // refused by the dialog's own check
        EXPECT_EQ(d->Count(), 0);
        EXPECT_EQ(d->Edit1->text(), "T9");
        d->Button2Click();
    });
    win->SpeedButton12Click();
    EXPECT_EQ(boxes.texts(), QStringList{"类型名不能为bad"});
    EXPECT_EQ(win->refreshes, refreshes);
    EXPECT_EQ(count("select * from smstype"), 2);
}

TEST_F(ManagerFrame, NewStoresTheKeyAsTypedAndLogsIt)
{
    modal.then<TTestNewType>([&](TTestNewType *d) {
        QTest::keyClicks(d->Edit1, "  "); // blanks count
        EXPECT_TRUE(d->Button1->isEnabled());
        d->Edit2->setText("空白");
        d->Button1Click();
        d->Edit1->setText("T3");
        d->Button1Click();
        d->Button2Click();
    });
    win->SpeedButton12Click();
    EXPECT_TRUE(boxes.seen().empty());
    EXPECT_EQ(column("select * from smstype order by rowid", "TYPEID"),
              (std::vector<std::string>{"T1", "T2", "  ", "T3"}));
    EXPECT_EQ(column("select * from operlog order by rowid", "Action"),
              (std::vector<std::string>{"增加类型  ", "增加类型T3"}));
    EXPECT_EQ(list1->Count(), 4);
}

// --- Edit --------------------------------------------------------------

class EditDialog : public ManagerFrame {
protected:
    void SetUp() override
    {
        ManagerFrame::SetUp();
        add("workgroup", {{"GROUPNAME", "G2"}, {"DISCRIBE", "d2"}});
        add("oper_group", {{"WORKCODE", "op1"}, {"GROUPNAME", "G1"}});
        win->Refresh();
        win->TreeView1->setCurrentItem(node("组"));
        list2->SetSelected(0, true); // G1
        refreshes = win->refreshes;
    }
    static std::vector<std::string> members(const char *group)
    {
        return column("select * from oper_group where groupname=" + QuotedStr(group) + " order by workcode",
                      "WORKCODE");
    }
    int refreshes = 0;
};

TEST_F(EditDialog, LoadsTheRowAndTicksTheLinkedItemsOfEveryRelatedRow)
{
    modal.then<TTestEditGroup>([](TTestEditGroup *d) {
        EXPECT_EQ(d->Edit1->text(), "G1");
        EXPECT_EQ(d->Edit2->text(), "d1");
        EXPECT_EQ(d->OriginalKey, "G1");
        EXPECT_FALSE(d->Modified);
        ASSERT_EQ(d->CheckListBox1->count(), 2); // Kelvo and op1
        EXPECT_EQ(d->CheckListBox1->item(0)->checkState(), Qt::Unchecked);
        EXPECT_EQ(d->CheckListBox1->item(1)->checkState(), Qt::Checked);
        d->CancelClick();
    });
    win->SpeedButton10Click();
    EXPECT_TRUE(modal.done());
}

TEST_F(EditDialog, SavingWithoutAKeyPressRewritesButDoesNotReload)
{
    int result = -1;
    modal.then<TTestEditGroup>([&](TTestEditGroup *d) {
        d->Edit2->setText("pasted"); // text changed without a key
        d->OkClick();
        result = d->result();
    });
    win->SpeedButton10Click();
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_FALSE(win->Changed);
    EXPECT_EQ(win->refreshes, refreshes);
    EXPECT_EQ(column("select * from workgroup where groupname='G1'", "DISCRIBE"), std::vector<std::string>{"pasted"});
    EXPECT_EQ(members("G1"), std::vector<std::string>{"op1"});
}

TEST_F(EditDialog, AKeyPressThenCancelWritesNothing)
{
    modal.then<TTestEditGroup>([&](TTestEditGroup *d) {
        QTest::keyClick(d->Edit2, Qt::Key_End); // a navigation key counts
        EXPECT_TRUE(d->Modified);
        d->Edit2->setText("changed");
        d->CheckListBox1->item(1)->setCheckState(Qt::Unchecked);
        d->CancelClick();
    });
    win->SpeedButton10Click();
    EXPECT_EQ(win->refreshes, refreshes);
    EXPECT_EQ(column("select * from workgroup where groupname='G1'", "DISCRIBE"), std::vector<std::string>{"d1"});
    EXPECT_EQ(members("G1"), std::vector<std::string>{"op1"});
}

TEST_F(EditDialog, ATickMarksItModifiedAndUntickingAllRemovesTheLinks)
{
    modal.then<TTestEditGroup>([&](TTestEditGroup *d) {
        d->CheckListBox1->item(1)->setCheckState(Qt::Unchecked);
        EXPECT_TRUE(d->Modified);
        d->OkClick();
    });
    win->SpeedButton10Click();
    EXPECT_TRUE(win->Changed);
    EXPECT_EQ(win->refreshes, refreshes + 1);
    EXPECT_TRUE(members("G1").empty());
}

TEST_F(EditDialog, RenamingUpdatesByTheOriginalKeyAndWritesLinksUnderTheNewOne)
{
    add("oper_group", {{"WORKCODE", "Kelvo"}, {"GROUPNAME", "G9"}}); // already under the new name
    modal.then<TTestEditGroup>([&](TTestEditGroup *d) {
        d->Edit1->selectAll();
        QTest::keyClicks(d->Edit1, "G9");
        d->CheckListBox1->item(0)->setCheckState(Qt::Checked);
        d->OkClick();
    });
    win->SpeedButton10Click();
    EXPECT_EQ(column("select * from workgroup order by rowid", "GROUPNAME"), (std::vector<std::string>{"G9", "G2"}));
    EXPECT_EQ(members("G9"), (std::vector<std::string>{"Kelvo", "op1"}));
    EXPECT_EQ(members("G1"), std::vector<std::string>{"op1"}); // links under the old key stay
    EXPECT_EQ(win->refreshes, refreshes + 1);
}

TEST_F(EditDialog, AFailedUpdateKeepsAChangedDialogOpenAndTouchesNoLink)
{
    bool stayedOpen = false;
    boxes.ok(); // the failed update
    modal.then<TTestEditGroup>([&](TTestEditGroup *d) {
        d->Edit1->selectAll();
        QTest::keyClicks(d->Edit1, "G2"); // another group's name
        d->CheckListBox1->item(1)->setCheckState(Qt::Unchecked);
        d->OkClick();
        stayedOpen = d->isVisible();
        d->CancelClick();
    });
    win->SpeedButton10Click();
    EXPECT_TRUE(stayedOpen);
    EXPECT_EQ(boxes.texts(), QStringList{"更新纪录失败，请检查组名是否重复！"});
    EXPECT_EQ(members("G1"), std::vector<std::string>{"op1"});
    EXPECT_FALSE(win->Changed);
    EXPECT_EQ(win->refreshes, refreshes);
}

TEST_F(EditDialog, AFailureThatIsNoDuplicateIsToldAsItIsAndKeepsWhatWasTyped)
{
    // A full disk: the database may not grow by a page.
    TAdoQuery &q = desk::Db().Query1;
    desk::open(q, "PRAGMA page_count");
    const std::string pages = q.Fields(0)->AsString();
    q.Close();
    desk::Db().Database1.Execute("PRAGMA max_page_count = " + pages);
    const QString big(20000, QLatin1Char('x'));
    for (int i = 0; i < 2; ++i)
        boxes.ok();
    modal.then<TTestNewType>([&](TTestNewType *d) {
        d->Edit1->setText("T9");
        d->Edit2->setText(big);
        d->Button1Click();
        EXPECT_EQ(d->Count(), 0);
        EXPECT_EQ(d->Edit1->text(), "T9");
        EXPECT_EQ(d->Edit2->text(), big);
        d->Button2Click();
    });
    win->TreeView1->setCurrentItem(node("类型"));
    win->SpeedButton12Click();
    win->TreeView1->setCurrentItem(node("组"));
    list2->SetSelected(0, true);
    modal.then<TTestEditGroup>([&](TTestEditGroup *d) {
        d->Edit2->setText(big);
        QTest::keyClicks(d->Edit1, "x");
        d->OkClick();
        EXPECT_TRUE(d->isVisible());
        d->CancelClick();
    });
    win->SpeedButton10Click();
    ASSERT_EQ(boxes.texts().size(), 2);
    for (const QString &said : boxes.texts())
        EXPECT_TRUE(said.startsWith("磁盘已满，数据库无法写入（")) << said.toStdString();
    EXPECT_EQ(count("select * from smstype"), 2);
}

TEST_F(EditDialog, AFailedUpdateOfAnUnchangedDialogStillClosesWithOk)
{
    int result = -1;
    boxes.ok(); // the failed update
    modal.then<TTestEditGroup>([&](TTestEditGroup *d) {
        d->Edit1->setText("G2"); // pasted: no key press
        d->OkClick();
        result = d->result();
    });
    win->SpeedButton10Click();
    EXPECT_EQ(result, QDialog::Accepted);
    EXPECT_EQ(boxes.texts(), QStringList{"更新纪录失败，请检查组名是否重复！"});
    EXPECT_EQ(members("G1"), std::vector<std::string>{"op1"});
    EXPECT_EQ(win->refreshes, refreshes);
}

// --- the operation-log window --------------------------------------------

TEST_F(ManagerFrame, OperationLogShowsRowsOfOtherWindowsAfterRefresh)
{
    main->N3_old_oldClick();
    TfrmOperLog *log = frmOperLog;
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log->windowTitle(), "操作日志管理");
    EXPECT_EQ(log->ListView1->Count(), 0); // an empty log: an empty list
    for (int n : {12, 10, 11})
        EXPECT_FALSE(log->CoolBar1->SpeedButton(n)->isEnabled());

    win->TreeView1->setCurrentItem(node("类型"));
    list1->SetSelected(0, true);
    boxes.ok();                            // the delete question
    win->SpeedButton11Click();             // appends "删除类型 T1"
    EXPECT_EQ(log->ListView1->Count(), 0); // not before "R"
    QTest::mouseClick(log->CoolBar1->SpeedButton(4), Qt::LeftButton);
    ASSERT_EQ(log->ListView1->Count(), 1);
    EXPECT_EQ(log->ListView1->Caption(0), "kelvo");
    EXPECT_FALSE(log->ListView1->SubItem(0, 0).isEmpty()); // the time as text
    EXPECT_EQ(log->ListView1->SubItem(0, 1), "删除类型 T1");
    // The other buttons do nothing.
    for (int n : {1, 2, 3, 5, 6, 7, 8, 9})
        QTest::mouseClick(log->CoolBar1->SpeedButton(n), Qt::LeftButton);
    EXPECT_EQ(log->ListView1->Style(), TListView::ViewStyle::Report);
    EXPECT_EQ(log->ListView1->Count(), 1);
}

} // namespace
