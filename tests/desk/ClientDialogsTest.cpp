// The contact dialogs: creating contacts one after another with their group,
// the editor's first page, its group list, birthday and card, and its save.
#include "ClientFixture.h"

#include "desk/BusinessCard.h"
#include "desk/EditClient.h"
#include "desk/NewClient.h"
#include "support/LocalZone.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace {

using NewClient = ContactsTest;
using EditClient = ContactsTest;
using ContactMobile = ContactsTest;
using ContactFields = ContactsTest;

QStringList items(const QComboBox *box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

QStringList ticked(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << (list->item(i)->checkState() == Qt::Checked ? "+" : "-") + list->item(i)->text();
    return out;
}

void tick(QListWidget *list, const char *group, Qt::CheckState state)
{
    list->findItems(group, Qt::MatchExactly).value(0)->setCheckState(state);
}

QString wrongMobile(const QString &number)
{
    return QStringLiteral("手机号码“") + number + QStringLiteral("”不正确：只能由数字组成，最前面可以有一个“+”号");
}

TEST_F(NewClient, EachPressCreatesOneContactWithItsGroupOrReportsADuplicate)
{
    struct Case {
        const char *name;
        const char *mobile;
        const char *group; // chosen from the list; null keeps the box as it is
        bool female;
        bool fails;
    };
    const Case cases[] = {
        {"王五", "13900000001", nullptr, false, false}, // the group preset from the tree node
        {"O'Neil", "", "无", true, false},              // no group; an empty mobile is one blank
        {"张三", "13900000003", "同事", false, true},   // taken: nothing of it is written
        {"赵六", "13900000004", "X", false, false},
    };
    select("同事");
    modal.then<TfrmNewClient>([&](TfrmNewClient *d) {
        EXPECT_EQ(d->windowTitle(), "新联系人");
        EXPECT_EQ(d->ComboBox1->currentText(), "同事");
        for (const Case &c : cases) {
            SCOPED_TRACE(c.name);
            EXPECT_FALSE(d->Button1->isEnabled());
            d->Edit1->setText(QString::fromUtf8(c.name));
            d->Edit3->setText(c.mobile);
            d->EditCompany->setText("公司");
            if (c.group)
                d->ComboBox1->setCurrentIndex(d->ComboBox1->findText(QString::fromUtf8(c.group)));
            (c.female ? d->RBFemale : d->RBMale)->setChecked(true);
            const int before = d->Count();
            d->Button1Click();
            EXPECT_EQ(d->Count(), before + 1); // failures count too
            EXPECT_TRUE(d->Edit1->text().isEmpty() && d->Edit3->text().isEmpty() && d->EditCompany->text().isEmpty());
            EXPECT_EQ(d->RBFemale->isChecked(), c.female); // the sex and the group stay
            EXPECT_EQ(d->focusWidget(), d->Edit1);
        }
        d->Button2Click();
    });
    boxes.ok();
    win->N10Click(); // "新增用户"
    ASSERT_TRUE(modal.done());
    EXPECT_EQ(boxes.texts(), QStringList{"新增记录失败,请检查联系人编号是否重复"});

    EXPECT_EQ(client("王五", "CONTACT"), Rows{"13900000001"});
    EXPECT_EQ(client("O'Neil", "CONTACT"), Rows{" "});
    EXPECT_EQ(client("O'Neil", "Sex"), Rows{"女"});
    EXPECT_EQ(client("张三", "CONTACT"), Rows{"13800000001"});
    EXPECT_EQ(groupsOf("王五"), Rows{"同事"});
    EXPECT_TRUE(groupsOf("O'Neil").empty());
    EXPECT_EQ(groupsOf("张三"), (Rows{"Y", "X"}));
    EXPECT_EQ(groupsOf("赵六"), Rows{"X"});
    EXPECT_EQ(column("select * from operlog", "Action"),
              (Rows{"增加联系人王五", "增加联系人O'Neil", "增加联系人赵六"}));
    // Closed with OK: the group node's list was reloaded.
    EXPECT_EQ(win->ListView(1)->Count(), 1);
    EXPECT_EQ(win->ListView(1)->Caption(0), "王五");
}

TEST_F(NewClient, TheGroupIsChosenFromASortedListAndEnterWalksThenCreates)
{
    modal.then<TfrmNewClient>([&](TfrmNewClient *d) {
        // Code-point order under the tests' C locale: "无" takes its place.
        EXPECT_EQ(items(d->ComboBox1), (QStringList{"X", "Y", "Z", "同事", "手机电话本", "无"}));
        EXPECT_EQ(d->ComboBox1->currentText(), "无");
        QTest::keyClicks(d->ComboBox1, "abc");
        QTest::keyClick(d->ComboBox1, Qt::Key_Backspace);
        EXPECT_EQ(d->ComboBox1->currentText(), "无");
        QTest::keyClick(d->ComboBox1, Qt::Key_Up);
        EXPECT_EQ(d->ComboBox1->currentText(), "手机电话本");

        // Without a name Enter creates nothing.
        QTest::keyClick(d->EditOICQ, Qt::Key_Return);
        EXPECT_EQ(d->Count(), 0);
        d->Edit1->setText("钱七");
        QTest::keyClick(d->Edit1, Qt::Key_Return);
        EXPECT_EQ(d->focusWidget(), d->Edit3);
        QTest::keyClicks(d->Edit3, "139000000012345"); // at most 11 characters
        QTest::keyClick(d->Edit3, Qt::Key_Enter);
        EXPECT_EQ(d->focusWidget(), d->EditPhone);
        QTest::keyClick(d->EditOICQ, Qt::Key_Return);
        EXPECT_EQ(d->Count(), 1);
        d->Button2Click();
    });
    win->SpeedButton12Click();
    ASSERT_TRUE(modal.done());
    EXPECT_EQ(client("钱七", "CONTACT"), Rows{"13900000001"});
    EXPECT_EQ(groupsOf("钱七"), Rows{"手机电话本"});
}

// The client columns the contact dialogs write and the box each one takes;
// null where the dialog leaves the column as it is.
struct FieldCase {
    const char *column;
    const char *newBox;
    const char *editBox;
};
const FieldCase clientFields[] = {
    {"NAME", "Edit2", "Edit2"},
    {"CONTACT", "Edit3", "Edit3"},
    {"PERSONID", "Edit4", "Edit4"},
    {"PHONE", "EditPhone", "EditPhone"},
    {"COMPANY", "EditCompany", "EditCompany"},
    {"HEADSHIP", "EditHeadShip", "EditHeadShip"},
    {"EMAIL", "EditEmail", "EditEmail"},
    {"FAX", "EditFax", "EditFax"},
    {"ADDR", "EditAddr", "EditAddr"},
    {"POSTCODE", "EditPostCode", "EditPostCode"},
    {"HOMEPAGE", "EditHomePage", "EditHomePage"},
    {"OICQ", "EditOICQ", nullptr},
    {"LanID", nullptr, "EditLanID"},
};

// Every box of the table that the dialog has gets a text of its own (digits,
// so that the mobile box takes it too): the box's row number after "1390000".
void fillBoxes(QDialog *d, const char *FieldCase::*box)
{
    for (std::size_t i = 0; i < std::size(clientFields); ++i) {
        const char *name = clientFields[i].*box;
        if (!name)
            continue;
        const QString text = QString::number(13900000000LL + qlonglong(i));
        if (auto *memo = d->findChild<QPlainTextEdit *>(name))
            memo->setPlainText(text);
        else
            d->findChild<QLineEdit *>(name)->setText(text);
    }
}

TEST_F(ContactFields, EachDialogWritesEveryBoxToItsOwnColumnAndNoOther)
{
    exec("update client set OICQ='旧', LanID='旧' where clientid='张三'");
    modal.then<TfrmNewClient>([&](TfrmNewClient *d) {
        d->Edit1->setText("新");
        fillBoxes(d, &FieldCase::newBox);
        d->RBFemale->setChecked(true);
        d->Button1Click();
        d->Button2Click();
    });
    win->SpeedButton12Click();
    ASSERT_TRUE(modal.done());
    pick("张三");
    modal.then<TfrmEditClient>([&](TfrmEditClient *d) {
        fillBoxes(d, &FieldCase::editBox);
        d->RBMale->click();
        d->OkClick();
    });
    win->SpeedButton10Click();
    ASSERT_TRUE(modal.done());

    const struct {
        std::string key;
        const char *FieldCase::*box;
        std::string notWritten; // what a column the dialog leaves holds
        std::string sex;
    } dialogs[] = {{"新", &FieldCase::newBox, "", "女"}, {"张三", &FieldCase::editBox, "旧", "男"}};
    for (const auto &dialog : dialogs) {
        for (std::size_t i = 0; i < std::size(clientFields); ++i) {
            const FieldCase &f = clientFields[i];
            const std::string written = std::to_string(13900000000LL + qlonglong(i));
            EXPECT_EQ(client(dialog.key, f.column), Rows{f.*dialog.box ? written : dialog.notWritten})
                << dialog.key << " " << f.column;
        }
        EXPECT_EQ(client(dialog.key, "Sex"), Rows{dialog.sex}) << dialog.key;
    }
}

TEST_F(EditClient, LoadsTheContactItsGroupsBirthdayAndCardAndClosesUntouchedWithoutWriting)
{
    // A link row to a group that is gone shows, ticked, where it is stored.
    add("client_cgroup", {{"CLIENTID", "张三"}, {"GROUPNAME", "旧组"}});
    // Any write to the contact would be refused, and the box would show.
    exec("create trigger frozen before update on client begin select raise(abort, 'written'); end");
    pick("张三");
    modal.then<TfrmEditClient>([&](TfrmEditClient *d) {
        EXPECT_EQ(d->windowTitle(), "编辑联系人");
        EXPECT_EQ(d->Edit1->text(), "张三");
        EXPECT_EQ(d->Edit3->text(), "13800000001");
        EXPECT_TRUE(d->RBFemale->isChecked());
        QStringList expected{"+Y", "+X", "+旧组"};
        for (const std::string &g : column("select * from cgroup order by groupname", "GROUPNAME"))
            if (g != "X" && g != "Y")
                expected << "-" + QString::fromStdString(g);
        EXPECT_EQ(ticked(d->CheckListBox1), expected);
        EXPECT_FALSE(d->DateTimePicker1->isHidden());
        EXPECT_EQ(d->DateTimePicker1->date(), QDate(1990, 5, 6));
        // The card mirrors the boxes; a click on a caption goes to its box.
        EXPECT_EQ(d->Card->btclientid->text(), "张三");
        EXPECT_EQ(d->Card->BtCompany->text(), "甲公司");
        EXPECT_EQ(d->Card->btemail->text(), "z@s");
        QTest::mouseClick(d->Card->CaptionOf(d->Card->btMobile), Qt::LeftButton);
        EXPECT_EQ(d->focusWidget(), d->Edit3);
        EXPECT_FALSE(d->Modified);
        d->OkClick();
        EXPECT_EQ(d->result(), QDialog::Accepted);
    });
    win->SpeedButton10Click();
    ASSERT_TRUE(modal.done());
    EXPECT_FALSE(win->Changed);
    EXPECT_EQ(groupsOf("张三"), (Rows{"Y", "X", "旧组"}));
}

TEST_F(EditClient, ABirthdayOfZeroStaysHiddenUntilTheLabelIsDoubleClicked)
{
    struct Case {
        const char *name;
        bool pick; // a date picked after showing the picker
        const char *stored;
    };
    const Case cases[] = {{"zero stays zero", false, ""}, {"a date picked", true, "2001-2-3"}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        pick("O'Brien");
        modal.then<TfrmEditClient>([&](TfrmEditClient *d) {
            EXPECT_TRUE(d->DateTimePicker1->isHidden());
            EXPECT_FALSE(d->Label25->isHidden());
            EXPECT_EQ(d->Label25->text(), "    年  月  日");
            QTest::mouseDClick(d->Label25, Qt::LeftButton);
            EXPECT_FALSE(d->DateTimePicker1->isHidden());
            if (c.pick)
                d->DateTimePicker1->setDate({2001, 2, 3});
            else
                QTest::keyClicks(d->EditPhone, "1");
            d->OkClick();
        });
        win->SpeedButton10Click();
        ASSERT_TRUE(modal.done());
        EXPECT_EQ(client("O'Brien", "birthday"), Rows{c.stored});
        exec("update client set phone=null, birthday=null where clientid='O''Brien'");
    }
}

TEST_F(EditClient, EveryBirthdayButTheZeroDateIsShownAndKept)
{
    // A zone whose clocks skip a midnight: that birthday is a date too.
    const LocalZone zone(LocalZone::MidnightGap);
    struct Case {
        const char *stored;
        bool shown;
        QDate picked; // after showing the picker; null: none
        const char *saved;
    };
    const Case cases[] = {
        {"1899-12-29 00:00:00", true, {}, "1899-12-29"},
        {"1899-12-30 00:00:00", false, {}, ""}, // the zero date: no birthday
        {"1899-12-31 00:00:00", true, {}, "1899-12-31"},
        {"1850-01-01 00:00:00", true, {}, "1850-1-1"},
        {"2000-02-29 00:00:00", true, {}, "2000-2-29"},
        {"2024-06-02 00:00:00", true, {}, "2024-6-2"},
        {nullptr, false, {1899, 12, 29}, "1899-12-29"},
        {"1850-01-01 00:00:00", true, {1899, 12, 30}, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.stored ? c.stored : "none");
        exec("update client set birthday=" + (c.stored ? QuotedStr(c.stored) : std::string("null")) +
             " where clientid='O''Brien'");
        pick("O'Brien");
        modal.then<TfrmEditClient>([&](TfrmEditClient *d) {
            EXPECT_EQ(d->DateTimePicker1->isHidden(), !c.shown);
            if (c.shown) {
                EXPECT_EQ(d->DateTimePicker1->date().toString(Qt::ISODate).toStdString(),
                          std::string(c.stored).substr(0, 10));
            }
            if (c.picked.isValid()) {
                QTest::mouseDClick(d->Label25, Qt::LeftButton);
                d->DateTimePicker1->setDate(c.picked);
                EXPECT_EQ(d->DateTimePicker1->date(), c.picked);
            } else {
                QTest::keyClicks(d->EditPhone, "1");
            }
            d->OkClick();
        });
        win->SpeedButton10Click();
        ASSERT_TRUE(modal.done());
        EXPECT_EQ(client("O'Brien", "birthday"), Rows{c.saved});
    }
}

TEST_F(EditClient, AMemberWhoseContactIsGoneIsRefusedAndNothingIsWritten)
{
    add("client_cgroup", {{"CLIENTID", "幽灵"}, {"GROUPNAME", "同事"}});
    select("同事");
    const char *const cases[] = {"untouched", "changed"};
    for (const char *c : cases) {
        SCOPED_TRACE(c);
        pick("幽灵");
        ASSERT_EQ(win->ListView(1)->Selected(), 0);
        boxes.clear();
        boxes.ok();
        modal.then<TfrmEditClient>([&](TfrmEditClient *d) {
            EXPECT_EQ(d->Edit1->text(), "幽灵");
            if (std::string(c) == "changed") {
                d->Edit3->setText("13912345678");
                tick(d->CheckListBox1, "X", Qt::Checked);
                d->Memo1->setPlainText("note");
                d->Button5Click(); // no note of nobody
            }
            d->OkClick();
            EXPECT_EQ(d->result(), QDialog::Rejected);
        });
        win->SpeedButton10Click();
        ASSERT_TRUE(modal.done());
        EXPECT_EQ(boxes.texts(), QStringList{"联系人“幽灵”已不存在，不能保存"});
        EXPECT_FALSE(win->Changed);
    }
    EXPECT_EQ(count("select * from client where clientid='幽灵'"), 0);
    EXPECT_EQ(count("select * from operlog"), 0);
    EXPECT_EQ(count("select * from clientphotos"), 0);
    EXPECT_EQ(count("select * from clientsession"), 0);
    EXPECT_EQ(groupsOf("幽灵"), Rows{"同事"});
}

TEST_F(ContactMobile, AMobileOfAnythingButDigitsAfterAPlusIsRefusedBeforeAnythingIsWritten)
{
    struct Case {
        const char *name;
        const char *mobile;
        bool taken;
    };
    const Case cases[] = {
        {"甲", "139abc12345", false},   {"乙", "+", false}, {"丙", "139 1234567", false}, {"丁", "13912345678", true},
        {"戊", "+8613912345678", true}, {"己", "", true},
    };
    // The new-contact dialog: a refused number is told, nothing is counted,
    // written or cleared.
    modal.then<TfrmNewClient>([&](TfrmNewClient *d) {
        for (const Case &c : cases) {
            SCOPED_TRACE(c.name);
            d->Edit1->setText(QString::fromUtf8(c.name));
            d->Edit3->setText(c.mobile); // cut at 11 characters
            const QString typed = d->Edit3->text();
            boxes.clear();
            if (!c.taken)
                boxes.ok();
            const int before = d->Count();
            d->Button1Click();
            EXPECT_EQ(boxes.texts(), c.taken ? QStringList{} : QStringList{wrongMobile(typed)});
            EXPECT_EQ(d->Count(), before + (c.taken ? 1 : 0));
            EXPECT_EQ(d->Edit1->text().isEmpty(), c.taken);
            EXPECT_EQ(client(c.name, "CONTACT"), c.taken ? Rows{typed.isEmpty() ? " " : typed.toStdString()} : Rows{});
        }
        d->Button2Click();
    });
    win->SpeedButton12Click();
    ASSERT_TRUE(modal.done());
    EXPECT_EQ(count("select * from operlog"), 3);

    // The editor: a refused number leaves it open and the contact as stored.
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mobile);
        boxes.clear();
        if (!c.taken)
            boxes.ok();
        pick("张三");
        modal.then<TfrmEditClient>([&](TfrmEditClient *d) {
            d->Edit3->setText(c.mobile);
            d->OkClick();
            EXPECT_EQ(d->result() == QDialog::Accepted, c.taken);
            if (!c.taken)
                d->CancelClick();
        });
        win->SpeedButton10Click();
        ASSERT_TRUE(modal.done());
        EXPECT_EQ(boxes.texts(), c.taken ? QStringList{} : QStringList{wrongMobile(c.mobile)});
        const std::string saved = *c.mobile ? c.mobile : " ";
        EXPECT_EQ(client("张三", "CONTACT"), Rows{c.taken ? saved : "13800000001"});
        exec("update client set contact='13800000001' where clientid='张三'");
    }
}

TEST_F(EditClient, SavesByTheNameAsLoadedAndRewritesTheGroupsUnderTheNameAsTyped)
{
    struct Case {
        const char *name;
        const char *newName;
        const char *mobile;
        QString failure; // "" when the save goes through
        Rows clientIds;  // every key of client afterwards
        Rows newGroups;  // the groups under the new name
        Rows oldGroups;  // the groups still under "张三"
    };
    const Case cases[] = {
        {"another's name",
         "O'Brien",
         "1",
         "记录更新失败,请检查联系人名称是否重复!",
         {"O'Brien", "张三"},
         {},
         {"Y", "X"}},
        {"renamed", "张三丰", "", "", {"O'Brien", "张三丰"}, {"Y", "Z"}, {"Y", "X"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // A stale row under the new name goes; the old name's rows stay.
        add("client_cgroup", {{"CLIENTID", "张三丰"}, {"GROUPNAME", "同事"}});
        win->Refresh();
        pick("张三");
        boxes.clear();
        if (!c.failure.isEmpty())
            boxes.ok();
        bool stayedOpen = false;
        QString rowAfterSave;
        modal.then<TfrmEditClient>([&](TfrmEditClient *d) {
            d->Edit1->setText(c.newName);
            d->Edit3->setText(c.mobile);
            tick(d->CheckListBox1, "X", Qt::Unchecked);
            tick(d->CheckListBox1, "Z", Qt::Checked);
            d->OkClick();
            stayedOpen = d->result() != QDialog::Accepted;
            rowAfterSave = win->ListView(1)->Caption(win->ListView(1)->Selected());
            if (stayedOpen)
                d->CancelClick();
        });
        win->SpeedButton10Click();
        ASSERT_TRUE(modal.done());
        EXPECT_EQ(boxes.texts(), c.failure.isEmpty() ? QStringList{} : QStringList{c.failure});
        EXPECT_EQ(stayedOpen, !c.failure.isEmpty());
        EXPECT_EQ(column("select * from client order by clientid", "CLIENTID"), c.clientIds);
        EXPECT_EQ(groupsOf("张三"), c.oldGroups);
        if (c.failure.isEmpty()) {
            EXPECT_EQ(rowAfterSave, c.newName); // before the reload
            EXPECT_EQ(client(c.newName, "CONTACT"), Rows{" "});
            EXPECT_EQ(client(c.newName, "birthday"), Rows{"1990-5-6"});
            EXPECT_EQ(groupsOf(c.newName), c.newGroups);
            EXPECT_TRUE(win->Changed);
        } else {
            EXPECT_EQ(client("O'Brien", "CONTACT"), Rows{" "});
            EXPECT_EQ(groupsOf("O'Brien"), Rows{});
            EXPECT_FALSE(win->Changed);
        }
        exec("delete from client_cgroup where clientid='张三丰'");
    }
}

} // namespace
