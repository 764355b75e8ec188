#include "DeskFixture.h"

#include "desk/ListView.h"
#include "desk/SmsCustom.h"
#include "desk/SmsDialogs.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <functional>

namespace {

class SmsCustomTest : public DeskTest {
protected:
    void SetUp() override
    {
        DeskTest::SetUp();
        main = login();
        main->show();
        add("smstype", {{"TYPEID", "T1"}, {"NAME", "问候"}});
        add("smstype", {{"TYPEID", "T2"}, {"NAME", "通知"}});
    }
    void open(const char *category)
    {
        main->N4_old_oldClick(); // as the hidden menu item does
        win = frmSMSCustom;
        ASSERT_NE(win, nullptr);
        win->TreeView1->setCurrentItem(win->TreeView1->findItems(category, Qt::MatchExactly).value(0));
    }
    // Plans the picker: chooses row (-1: none) and presses "确定", or "取消".
    void pick(int row, bool ok = true)
    {
        modal.then<TfrmSeleSmsType>([row, ok](TfrmSeleSmsType *p) {
            EXPECT_EQ(p->ListView2->Count(), 2);
            if (row >= 0)
                p->ListView2->SetSelected(row, true);
            ok ? p->Button1Click() : p->Button2Click();
        });
    }

    TMainFrm *main = nullptr;
    TfrmSMSCustom *win = nullptr;
};

TEST_F(SmsCustomTest, TheNewTemplateDialogProposesTheLargestNumberPlusOne)
{
    const std::vector<std::pair<std::vector<const char *>, QString>> cases = {
        {{}, "1"}, {{"3", "10"}, "11"}, {{"10", "3", "-5"}, "11"}};
    for (const auto &[numbers, expected] : cases) {
        const QString proposed = expected; // clang 14's lambdas capture no structured binding
        exec("delete from smsdata");
        for (const char *n : numbers)
            add("smsdata", {{"SMSID", n}});
        open("短消息纪录");
        modal.then<TfrmNewSmsData>([&](TfrmNewSmsData *d) {
            EXPECT_TRUE(QTest::qWaitFor([&] { return d->Edit1->text() == proposed; }))
                << d->Edit1->text().toStdString();
            EXPECT_TRUE(d->Button1->isEnabled());
            d->Button2Click();
        });
        win->SpeedButton12Click();
        EXPECT_TRUE(modal.done());
    }
}

TEST_F(SmsCustomTest, ThePickerReturnsTheChosenTypeAndReturningProposesAgain)
{
    open("短消息纪录");
    modal.then<TfrmNewSmsData>([](TfrmNewSmsData *d) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return d->Edit1->text() == "1"; }));
        d->Edit1->setText("42");
        d->SpeedButton1Click();
        EXPECT_EQ(d->Edit2->text(), "T2");
        // The typed number gives way to the proposal.
        EXPECT_TRUE(QTest::qWaitFor([&] { return d->Edit1->text() == "1"; }));
        d->SpeedButton1Click();
        d->SpeedButton1Click();
        EXPECT_EQ(d->Edit2->text(), "T2");
        d->Edit3->setText("早安");
        d->Memo1->setPlainText("早上好\n今天");
        d->Button1Click();
        EXPECT_TRUE(d->Edit1->text().isEmpty()); // no proposal until the next activation
        EXPECT_TRUE(d->Edit2->text().isEmpty());
        d->Edit1->setText("2");
        d->Button1Click(); // no type: NULL
        d->Button2Click();
    });
    pick(1);        // T2
    pick(0, false); // "取消" writes nothing
    pick(-1);       // "确定" with nothing selected writes nothing
    win->SpeedButton12Click();
    EXPECT_TRUE(modal.done());
    EXPECT_TRUE(boxes.seen().empty());
    EXPECT_EQ(column("select * from smsdata order by smsid", "CONTENT"),
              (std::vector<std::string>{"早上好\n今天", ""}));
    EXPECT_EQ(count("select * from smsdata where smsid=1 and typeid='T2'"), 1);
    EXPECT_EQ(count("select * from smsdata where smsid=2 and typeid is null"), 1);
    TListView *list = win->ListView(2);
    ASSERT_EQ(list->Count(), 2);
    EXPECT_EQ(list->Caption(0), "1");
    EXPECT_EQ(list->SubItem(0, 2), "早上好\n今天"); // the content rides along unshown
    EXPECT_EQ(list->SubItem(1, 0), "");
    EXPECT_EQ(column("select * from operlog order by rowid", "Action"),
              (std::vector<std::string>{"增加短消息纪录1", "增加短消息纪录2"}));
}

// A number that is not a whole number fails as a duplicate would, in both
// dialogs, and never reaches a statement.
TEST_F(SmsCustomTest, ATemplateNumberThatIsNotANumberIsRefused)
{
    add("smsdata", {{"SMSID", "5"}, {"TITLE", "t"}});
    open("短消息纪录");
    for (int i = 0; i < 5; ++i)
        boxes.ok(); // four failed inserts, one failed update
    modal.then<TfrmNewSmsData>([](TfrmNewSmsData *d) {
        for (const char *bad : {"abc", "6 or 1=1", "7'", "1.5"}) {
            d->Edit1->setText(bad);
            d->Button1Click();
        }
        d->Button2Click();
    });
    win->SpeedButton12Click();
    // Said as what it is, not as a duplicate.
    EXPECT_EQ(boxes.texts(), (QStringList{"“abc”不是有效的整数", "“6 or 1=1”不是有效的整数", "“7'”不是有效的整数",
                                          "“1.5”不是有效的整数"}));

    win->ListView(2)->SetSelected(0, true);
    modal.then<TfrmEditSmsData>([](TfrmEditSmsData *d) {
        EXPECT_EQ(d->OriginalKey, "5");
        d->Edit1->selectAll();
        QTest::keyClicks(d->Edit1, "5 or 1=1");
        d->OkClick();
        d->CancelClick();
    });
    win->SpeedButton10Click();
    EXPECT_EQ(boxes.texts().value(4), "“5 or 1=1”不是有效的整数");
    EXPECT_EQ(column("select * from smsdata", "SMSID"), std::vector<std::string>{"5"});
    EXPECT_EQ(count("select * from operlog"), 0);
}

TEST_F(SmsCustomTest, ChangingTheTypeMarksTheEditModifiedEvenWhenThePickerIsCancelled)
{
    add("smsdata", {{"SMSID", "7"}, {"TYPEID", "T1"}, {"TITLE", "t"}, {"CONTENT", "c"}});
    open("短消息纪录");
    win->ListView(2)->SetSelected(0, true);
    modal.then<TfrmEditSmsData>([](TfrmEditSmsData *d) {
        EXPECT_EQ(d->Edit2->text(), "T1");
        EXPECT_EQ(d->Memo1->toPlainText(), "c");
        d->SpeedButton1Click();
        EXPECT_TRUE(d->Modified);
        EXPECT_EQ(d->Edit2->text(), "T1");
        d->OkClick();
    });
    pick(1, false);
    win->SpeedButton10Click();
    EXPECT_TRUE(win->Changed);

    win->ListView(2)->SetSelected(0, true);
    modal.then<TfrmEditSmsData>([](TfrmEditSmsData *d) {
        d->SpeedButton2Click(); // "清除": modified, no type
        d->OkClick();
    });
    win->SpeedButton10Click();
    EXPECT_TRUE(win->Changed);
    EXPECT_EQ(count("select * from smsdata where smsid=7 and typeid is null"), 1);
    EXPECT_EQ(win->ListView(2)->SubItem(0, 0), "");

    // A template goes by its number; a deleted type stays on its templates.
    add("smsdata", {{"SMSID", "8"}, {"TYPEID", "T2"}});
    win->Refresh();
    boxes.ok(); // two delete confirmations
    boxes.ok();
    win->ListView(2)->SetSelected(0, true);
    win->SpeedButton11Click();
    win->TreeView1->setCurrentItem(win->TreeView1->findItems("短消息类型", Qt::MatchExactly).value(0));
    win->ListView(1)->SetSelected(1, true);
    win->SpeedButton11Click();
    EXPECT_EQ(column("select * from smsdata", "TYPEID"), std::vector<std::string>{"T2"});
    EXPECT_EQ(column("select * from smstype", "TYPEID"), std::vector<std::string>{"T1"});
    EXPECT_EQ(column("select * from operlog order by rowid", "Action"),
              (std::vector<std::string>{"删除短消息纪录 7", "删除短消息类型 T2"}));
}

// Each dialog is named by the global of its form while it is shown, and
// by nothing once it has closed.
TEST_F(SmsCustomTest, EachDialogIsKeptInTheGlobalNamedAfterItsForm)
{
    add("smsdata", {{"SMSID", "7"}, {"TYPEID", "T1"}});
    struct Case {
        const char *category;
        bool edit;
        std::function<void()> plan;
        std::function<QDialog *()> global;
    };
    // Inside a dialog's loop: the global names it; the picker's too.
    auto checked = [this]<class T>(T *&global) {
        constexpr bool withPicker = requires(T * d) { d->SpeedButton1Click(); };
        modal.then<T>([&global](T *d) {
            EXPECT_EQ(global, d);
            if constexpr (withPicker)
                d->SpeedButton1Click();
            d->reject();
        });
        if (withPicker)
            modal.then<TfrmSeleSmsType>([](TfrmSeleSmsType *p) {
                EXPECT_EQ(frmSeleSmsType, p);
                p->Button2Click();
            });
    };
    const Case cases[] = {
        {"短消息类型", false, [&] { checked(frmNewSmsType); }, [] { return frmNewSmsType; }},
        {"短消息类型", true, [&] { checked(frmEditSmsType); }, [] { return frmEditSmsType; }},
        {"短消息纪录", false, [&] { checked(frmNewSmsData); }, [] { return frmNewSmsData; }},
        {"短消息纪录", true, [&] { checked(frmEditSmsData); }, [] { return frmEditSmsData; }},
    };
    open("短消息类型");
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.category) + (c.edit ? " edit" : " new"));
        win->TreeView1->setCurrentItem(win->TreeView1->findItems(c.category, Qt::MatchExactly).value(0));
        c.plan();
        if (c.edit) {
            win->CurrentList->SetSelected(0, true);
            win->SpeedButton10Click();
        } else {
            win->SpeedButton12Click();
        }
        EXPECT_TRUE(modal.done());
        EXPECT_EQ(c.global(), nullptr);
        EXPECT_EQ(frmSeleSmsType, nullptr);
    }
}

} // namespace
