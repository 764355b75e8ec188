// The contacts window's message tree and received-messages list, dialling
// and LAN messages from the contacts list's popup.
#include "DeskFixture.h"
#include "TreeShape.h"

#include "desk/ListView.h"
#include "desk/Memo.h"
#include "desk/ReadSMS.h"
#include "desk/StatusBar.h"
#include "desk/TermMan.h"
#include "gateway/EngineGlobals.h"
#include "support/FakeSmbclient.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>

namespace {

class ContactActions : public DeskTest {
protected:
    void SetUp() override
    {
        DeskTest::SetUp();
        dir.write("TreeView.Txt", g("联系人\r\n组\r\n"));
        main = login();
        desk::connectEngine(main->Engine); // as the start-up does
        add("client", {{"CLIENTID", "张三"}, {"CONTACT", "13800000001"}, {"LanID", "PC-01"}});
        add("client", {{"CLIENTID", "张三二"}, {"CONTACT", "13800000001"}}); // the same number, a later key
        add("client", {{"CLIENTID", "李四"}, {"CONTACT", "13800000002"}, {"LanID", "fail-pc"}});
        main->show();
        main->activateWindow();
        QTRY_VERIFY(frmTermMan != nullptr);
        win = frmTermMan;
        list = win->ListView3;
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
    }
    void received(const char *phone, const char *message, const char *time, const char *flag = "未读")
    {
        add("sms_toread", {{"PHONE", phone}, {"MESSAGE", message}, {"TIME", time}, {"READFLAG", flag}});
    }
    void click(const char *node, TTreeView *tree = nullptr) const
    {
        tree = tree ? tree : win->TreeView2;
        QTreeWidgetItem *item = tree->findItems(node, Qt::MatchExactly | Qt::MatchRecursive).value(0);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(item).center());
    }
    void chooseContact(const QString &key) const
    {
        TListView *contacts = win->ListView(1);
        win->Refresh();
        for (int row = 0; row < contacts->Count(); ++row)
            contacts->SetSelected(row, contacts->Caption(row) == key);
    }
    QStringList rows() const
    {
        QStringList out;
        for (int row = 0; row < list->Count(); ++row)
            out << list->Caption(row) + "|" + list->SubItem(row, 0);
        return out;
    }

    TMainFrm *main = nullptr;
    TfrmTermMan *win = nullptr;
    TListView *list = nullptr;
};

TEST_F(ContactActions, OpeningAMessageMarksEveryCopyReadWhateverTheReply)
{
    received("13800000001", "你好 ", "2024-05-06 08:00:00");
    received("13800000001", "别的 ", "2024-05-06 07:00:00");
    received("13800000001", "你好 ", "2024-05-06 09:30:15"); // a copy
    received("13900000009", "陌生 ", "2024-05-06 10:00:00");
    click("未读短信");
    ASSERT_TRUE(list->isVisible());
    EXPECT_EQ(rows(),
              (QStringList{"13800000001|别的 ", "13800000001|你好 ", "13800000001|你好 ", "13900000009|陌生 "}));
    EXPECT_EQ(list->SubItem(3, 1), "2024-5-6 10:00:00");

    const struct {
        int row;
        const char *name; // the sender's contact: the first with the number, or none
        bool reply;       // answered, else cancelled
    } opened[] = {{1, "张三", false}, {2, "", true}};
    for (const auto &o : opened) {
        list->SetSelected(o.row, true);
        const QString phone = list->Caption(o.row), text = list->SubItem(o.row, 0);
        modal.then<TfrmReadSMS>([&](TfrmReadSMS *d) {
            EXPECT_EQ(d->edit3->text() + d->Edit1->text() + d->edit2->toPlainText(), o.name + phone + text);
            if (o.reply)
                d->Button3Click();
            o.reply ? d->Button3Click() : d->Button2Click();
        });
        QTableView *view = list->ReportView();
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {},
                           view->visualRect(view->model()->index(o.row, 0)).center());
        EXPECT_TRUE(modal.done());
    }
    EXPECT_EQ(rows(), (QStringList{"13800000001|别的 ", "13800000001|你好 "})); // opened rows left the list
    EXPECT_EQ(column("select * from sms_toread where READFLAG='未读'", "MESSAGE"), std::vector<std::string>{"别的 "});
    EXPECT_EQ(column("select * from sms_tosend", "MESSAGE"), std::vector<std::string>{"[Re:陌生 ]"});
    click("已读短信");
    EXPECT_EQ(list->Count(), 3);
}

TEST_F(ContactActions, TheKeyboardShowsTheListAClickReloadsItOtherNodesDoNothing)
{
    received("13800000002", "一", "2024-05-06 08:00:00");
    for (const char *idle : {"通信记录", "未接来电", "已接来电", "已拨电话"})
        click(idle);
    EXPECT_FALSE(list->isVisible());
    click("未读短信");
    received("13800000002", "二", "2024-05-06 09:00:00");
    for (const char *node : {"已读短信", "未读短信"})
        win->TreeView2->setCurrentItem(win->TreeView2->findItems(node, Qt::MatchRecursive).value(0));
    click("已拨电话");
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(list->Count(), 1);
    click("未读短信");
    EXPECT_EQ(list->Count(), 2);

    click("组", win->TreeView1); // uncovers the list behind
    EXPECT_FALSE(list->isVisible());
    EXPECT_TRUE(win->ListView(2)->isVisible());
}

TEST_F(ContactActions, DialTakesContactThenPhoneAndRefusesWhatIsNoNumber)
{
    const struct {
        const char *contact; // nullptr: NULL
        const char *phone;
        const char *dialled; // nullptr: refused
    } cases[] = {
        {"13800000009", "010-1", "13800000009"},
        {"", "010-1", "010-1"},
        {nullptr, "010-2", "010-2"},
        {" ", "010-1", nullptr}, // blanks count as a number, and it is none
        {"", "", nullptr},
        {" 13800000008 ", "", " 13800000008 "}, // dialled as stored
        {"138\r+CMGD=1,4", "", nullptr},        // would end the command line
        {"138;+CMGD=1,4", "", nullptr},         // would chain a command
    };
    int n = 0;
    for (const auto &c : cases) {
        const std::string key = "拨" + std::to_string(++n);
        ado::FieldTexts fields{{"CLIENTID", key}, {"PHONE", c.phone}};
        if (c.contact)
            fields.push_back({"CONTACT", c.contact});
        add("client", fields);
        chooseContact(QString::fromStdString(key));
        DialNumber.set("");
        boxes.clear();
        if (!c.dialled)
            boxes.ok();
        win->N6->trigger();
        EXPECT_EQ(DialNumber.get(), c.dialled ? c.dialled : "") << key;
        EXPECT_EQ(boxes.texts(), c.dialled ? QStringList{} : QStringList{"呼叫失败，没有被叫号码!"}) << key;
    }
    chooseContact("");
    boxes.clear();
    for (QAction *command : {win->N5, win->N6, win->N8}) {
        boxes.ok();
        command->trigger();
    }
    EXPECT_EQ(boxes.texts(), QStringList(3, "请选择一个联系人"));
}

TEST_F(ContactActions, ThePhoneBookImportAsksTheEngineForItsFirstEntry)
{
    PhoneBookIndex.set(-1);
    win->read1->trigger();
    EXPECT_EQ(PhoneBookIndex.get(), 1);
}

TEST_F(ContactActions, ALanMessageReportsItsOutcomeInTheMainStatusBar)
{
    FakeSmbclient smbclient;
    const struct {
        const char *key;
        const char *answer; // nullptr: Cancel
        const char *report; // nullptr: none
    } cases[] = {
        {"张三", "开会了", "发送消息到[PC-01]成功!"},
        {"李四", "开会了", "发送消息到[fail-pc]失败!"},
        {"张三", nullptr, nullptr},
        {"张三二", "x", "发送消息到[]失败!"}, // no LanID
    };
    for (const auto &c : cases) {
        chooseContact(c.key);
        main->StatusBar1->SetPanelText(1, "");
        c.answer ? boxes.ok(c.answer) : boxes.cancel();
        win->N8->trigger();
        EXPECT_EQ(boxes.seen().back().caption + boxes.seen().back().text, "请输入网络消息内容");
        if (!c.report) {
            QTest::qWait(200);
            EXPECT_EQ(main->StatusBar1->PanelText(1), "");
            continue;
        }
        QTRY_VERIFY_WITH_TIMEOUT(!main->StatusBar1->PanelText(1).isEmpty(), 10000);
        const QRegularExpression shown("^" + QRegularExpression::escape(c.report) + " 时间：\\d{1,2}:\\d\\d:\\d\\d$");
        EXPECT_TRUE(shown.match(main->StatusBar1->PanelText(1)).hasMatch())
            << main->StatusBar1->PanelText(1).toStdString();
    }
    EXPECT_EQ(smbclient.runs(), 2);
    EXPECT_EQ(smbclient.input(), "开会了");
}

} // namespace
