// The contacts window's message tree and received-messages list, and the
// commands of the contacts list's popup: compose, dial, mail, LAN message,
// and the SIM import of the group tree's popup.
#include "DeskFixture.h"
#include "TreeShape.h"

#include "desk/ListView.h"
#include "desk/Memo.h"
#include "desk/NewSMS.h"
#include "desk/ReadSMS.h"
#include "desk/StatusBar.h"
#include "desk/TermMan.h"
#include "desk/about.h"
#include "gateway/EngineGlobals.h"
#include "support/FakeSmbclient.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>

namespace {

QStringList rows(const TListView *list)
{
    QStringList out;
    for (int row = 0; row < list->Count(); ++row)
        out << list->Caption(row) + "|" + list->SubItem(row, 0);
    return out;
}

class ContactActions : public DeskTest {
protected:
    void SetUp() override
    {
        DeskTest::SetUp();
        dir.write("TreeView.Txt", g("联系人\r\n组\r\n\t手机电话本\r\n"));
        main = login();
        add("client", {{"CLIENTID", "张三"}, {"CONTACT", "13800000001"}, {"LanID", "PC-01"}});
        add("client", {{"CLIENTID", "张三二"}, {"CONTACT", "13800000001"}}); // the same number, a later key
        add("client", {{"CLIENTID", "李四"}, {"CONTACT", "13800000002"}, {"LanID", "fail-pc"}});
        add("client", {{"CLIENTID", "王五"}, {"CONTACT", "13800000003"}, {"LanID", "-rf"}});
        main->show();
        main->activateWindow();
        QTRY_VERIFY(frmTermMan != nullptr);
        win = frmTermMan;
        ASSERT_TRUE(QTest::qWaitForWindowExposed(main));
        DialNumber.set("");
        PhoneBookIndex.set(-1);
    }
    void received(const char *phone, const char *message, const char *time, const char *flag = "未读")
    {
        add("sms_toread", {{"PHONE", phone}, {"MESSAGE", message}, {"TIME", time}, {"READFLAG", flag}});
    }
    QTreeWidgetItem *messageNode(const QString &text) const
    {
        return win->TreeView2->findItems(text, Qt::MatchExactly | Qt::MatchRecursive).value(0);
    }
    static void click(TTreeView *tree, QTreeWidgetItem *node)
    {
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualItemRect(node).center());
    }
    void chooseContact(const QString &key) const
    {
        TListView *contacts = win->ListView(1);
        contacts->ClearSelection();
        for (int row = 0; row < contacts->Count(); ++row)
            if (contacts->Caption(row) == key)
                contacts->SetSelected(row, true);
    }
    int unread(const std::string &message) const
    {
        return count("select * from sms_toread where READFLAG='未读' and message=" +
                     desk::quoted(QString::fromStdString(message)));
    }

    TMainFrm *main = nullptr;
    TfrmTermMan *win = nullptr;
};

TEST_F(ContactActions, OpeningAMessageMarksEveryCopyReadWhateverTheReply)
{
    received("13800000001", "你好 ", "2024-05-06 08:00:00");
    received("13800000001", "别的 ", "2024-05-06 07:00:00");
    received("13800000001", "你好 ", "2024-05-06 09:30:15"); // a copy
    received("13800000001", "你好 ", "2024-05-01 09:00:00", "已读");
    received("13900000009", "陌生 ", "2024-05-06 10:00:00");
    click(win->TreeView2, messageNode("未读短信"));
    TListView *list = win->ListView3;
    ASSERT_TRUE(list->isVisible());
    EXPECT_EQ(rows(list),
              (QStringList{"13800000001|别的 ", "13800000001|你好 ", "13800000001|你好 ", "13900000009|陌生 "}));
    EXPECT_EQ(list->SubItem(3, 1), "2024-5-6 10:00:00");

    const struct {
        int row;
        const char *name; // the sender's contact shown
        bool reply;       // answered, else cancelled
    } opened[] = {{1, "张三", false}, {2, "", true}};
    for (const auto &o : opened) {
        list->SetSelected(o.row, true);
        const QString phone = list->Caption(o.row), text = list->SubItem(o.row, 0);
        modal.then<TfrmReadSMS>([&](TfrmReadSMS *d) {
            EXPECT_EQ(d->edit3->text(), o.name);
            EXPECT_EQ(d->Edit1->text(), phone);
            EXPECT_EQ(d->edit2->toPlainText(), text);
            if (o.reply) {
                d->Button3Click();
                d->Button3Click();
            } else {
                d->Button2Click();
            }
        });
        QTest::mouseDClick(list->ReportView()->viewport(), Qt::LeftButton, {},
                           list->ReportView()->visualRect(list->ReportView()->model()->index(o.row, 0)).center());
        EXPECT_TRUE(modal.done());
    }
    EXPECT_EQ(rows(list), (QStringList{"13800000001|别的 ", "13800000001|你好 "})); // opened rows left the list
    EXPECT_EQ(unread("你好 "), 0);
    EXPECT_EQ(unread("陌生 "), 0);
    EXPECT_EQ(unread("别的 "), 1);
    EXPECT_EQ(column("select * from sms_tosend", "MESSAGE"), std::vector<std::string>{"[Re:陌生 ]"});

    click(win->TreeView2, messageNode("已读短信"));
    EXPECT_EQ(list->Count(), 4);
}

TEST_F(ContactActions, TheKeyboardShowsTheListAClickReloadsItOtherNodesDoNothing)
{
    received("13800000002", "一", "2024-05-06 08:00:00");
    TListView *list = win->ListView3;
    EXPECT_FALSE(list->isVisible());
    for (const char *idle : {"通信记录", "未接来电", "已接来电", "已拨电话"}) {
        click(win->TreeView2, messageNode(idle));
        EXPECT_FALSE(list->isVisible()) << idle;
    }
    click(win->TreeView2, messageNode("未读短信"));
    received("13800000002", "二", "2024-05-06 09:00:00");
    win->TreeView2->setCurrentItem(messageNode("已读短信"));
    win->TreeView2->setCurrentItem(messageNode("未读短信"));
    EXPECT_EQ(list->Count(), 1);
    for (const char *idle : {"未接来电", "已拨电话"})
        click(win->TreeView2, messageNode(idle));
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(list->Count(), 1);
    click(win->TreeView2, messageNode("未读短信"));
    EXPECT_EQ(list->Count(), 2);

    // Nodes of the message tree never collapse; a click on the group tree
    // uncovers the list behind.
    messageNode("通信记录")->setExpanded(false);
    EXPECT_TRUE(messageNode("通信记录")->isExpanded());
    click(win->TreeView1, win->TreeView1->topLevelItem(1));
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
        const QString key = QStringLiteral("拨%1").arg(++n);
        ado::FieldTexts fields{{"CLIENTID", key.toStdString()}, {"PHONE", c.phone}};
        if (c.contact)
            fields.push_back({"CONTACT", c.contact});
        add("client", fields);
        win->Refresh();
        chooseContact(key);
        DialNumber.set("");
        boxes.clear();
        if (!c.dialled)
            boxes.ok();
        win->N6Click();
        EXPECT_EQ(DialNumber.get(), c.dialled ? c.dialled : "") << key.toStdString();
        EXPECT_EQ(boxes.texts(), c.dialled ? QStringList{} : QStringList{"呼叫失败，没有被叫号码!"})
            << key.toStdString();
    }
}

TEST_F(ContactActions, ComposeMailAndImportWithAndWithoutAContact)
{
    win->ListView(1)->ClearSelection();
    for (auto command : {&TfrmTermMan::N5Click, &TfrmTermMan::N6Click, &TfrmTermMan::N8Click}) {
        boxes.ok();
        (win->*command)();
    }
    EXPECT_EQ(boxes.texts(), QStringList(3, "请选择一个联系人"));
    EXPECT_EQ(DialNumber.get(), "");

    chooseContact("李四");
    modal.then<TfrmNewSMS>([](TfrmNewSMS *d) {
        EXPECT_EQ(d->edit3->text(), "李四");
        EXPECT_EQ(d->Edit1->text(), "13800000002");
        d->Button2Click();
    });
    win->N5->trigger();
    EXPECT_TRUE(modal.done());

    QUrl opened;
    const UrlOpener previous = setUrlOpener([&](const QUrl &url) { opened = url; });
    win->N7->trigger();
    setUrlOpener(previous);
    EXPECT_EQ(opened, QUrl("mailto:support@lanxing.example.com"));

    win->read1->trigger();
    EXPECT_EQ(PhoneBookIndex.get(), 1);
}

TEST_F(ContactActions, ALanMessageReportsItsOutcomeInTheMainStatusBar)
{
    FakeSmbclient smbclient;
    const QRegularExpression time(" 时间：\\d{1,2}:\\d\\d:\\d\\d$");
    const struct {
        const char *key;
        const char *answer; // nullptr: Cancel
        const char *report; // nullptr: none
        int runs;           // of smbclient so far
    } cases[] = {
        {"张三", "开会了", "发送消息到[PC-01]成功!", 1},
        {"李四", "开会了", "发送消息到[fail-pc]失败!", 2},
        {"张三", nullptr, nullptr, 2},
        {"王五", "x", "发送消息到[-rf]失败!", 2}, // never handed to smbclient
        {"张三二", "x", "发送消息到[]失败!", 2},  // no LanID
    };
    for (const auto &c : cases) {
        chooseContact(c.key);
        main->StatusBar1->SetPanelText(1, "");
        if (c.answer)
            boxes.ok(c.answer);
        else
            boxes.cancel();
        win->N8->trigger();
        EXPECT_EQ(boxes.seen().back().caption, "请输入网络消息");
        EXPECT_EQ(boxes.seen().back().text, "内容");
        if (c.report) {
            QTRY_VERIFY_WITH_TIMEOUT(!main->StatusBar1->PanelText(1).isEmpty(), 10000);
            const QString shown = main->StatusBar1->PanelText(1);
            EXPECT_TRUE(shown.startsWith(QString::fromUtf8(c.report) + " 时间：")) << shown.toStdString();
            EXPECT_TRUE(time.match(shown).hasMatch()) << shown.toStdString();
        } else {
            QTest::qWait(200);
            EXPECT_EQ(main->StatusBar1->PanelText(1), "");
        }
        EXPECT_EQ(smbclient.runs(), c.runs) << c.key;
    }
    EXPECT_EQ(smbclient.input(), "开会了");
}

} // namespace
