#include "DeskFixture.h"

#include "codec/Gbk.h"
#include "desk/Memo.h"
#include "desk/NewSMS.h"
#include "desk/ReadSMS.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

namespace {

const QString Mobile = QStringLiteral("13800000001");

class Compose : public DeskTest {
protected:
    void SetUp() override
    {
        DeskTest::SetUp();
        main = login();
    }
    // The rows appended, in order.
    static std::vector<std::string> messages() { return column("select * from sms_tosend order by rowid", "MESSAGE"); }
    // Selects a category with the mouse, as the operator does, and waits for its phrases.
    static void choose(TfrmNewSMS &d, int node)
    {
        d.PageControl1->setCurrentWidget(d.TabSheet2);
        d.ListBox1->clear();
        d.ListBox1->addItem("stale");
        QTreeWidget *tree = d.TreeView1;
        const QPoint at = tree->visualItemRect(tree->topLevelItem(node)).center();
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
        QTRY_VERIFY(d.ListBox1->count() == 0 || d.ListBox1->item(0)->text() != "stale");
    }
    static QStringList rows(const QListWidget *list)
    {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }

    TMainFrm *main = nullptr;
};

TEST_F(Compose, TheCounterCountsEveryCharacterOnce)
{
    TfrmNewSMS d(QStringLiteral("甲"), Mobile);
    EXPECT_EQ(d.Label4->text(), QStringLiteral("字数:0          "));
    const std::pair<QString, int> cases[] = {
        {QStringLiteral("中").repeated(70), 70},
        {QStringLiteral("hello"), 5},
        {QStringLiteral("ab中文 "), 5},
        {QStringLiteral("x😀"), 2}, // beyond GBK: one "?" in the ANSI box
    };
    for (const auto &[text, n] : cases) {
        d.edit2->setPlainText(text);
        EXPECT_EQ(d.Label4->text(), QStringLiteral("字数：") + QString::number(n)) << text.toStdString();
    }
}

TEST_F(Compose, ATextBecomesPiecesOfWholeCharactersThatPutTogetherGiveIt)
{
    struct Case {
        QString text;
        std::vector<size_t> bytes; // GBK bytes of each row
    };
    const Case cases[] = {
        {QString("a").repeated(140), {140}},
        {QString("a").repeated(141), {140, 1}},
        {QStringLiteral("中").repeated(70), {140}},
        {QStringLiteral("中").repeated(71), {140, 2}},
        {QStringLiteral("中").repeated(150), {140, 140, 20}},       // 300 bytes
        {"a" + QStringLiteral("中").repeated(150), {139, 140, 22}}, // byte 140 opens a character
        {" " + QStringLiteral("国").repeated(69) + "\n", {140}},    // kept as typed, not trimmed
    };
    for (const Case &c : cases) {
        exec("delete from sms_tosend");
        TfrmNewSMS d(QStringLiteral("甲"), Mobile);
        d.edit2->setPlainText(c.text);
        d.Button1Click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
        EXPECT_FALSE(d.Button1->isEnabled());
        std::string whole;
        std::vector<size_t> bytes;
        for (const std::string &piece : messages()) {
            const std::string gbkPiece = gbk::fromUtf8(piece);
            EXPECT_EQ(gbk::toUtf8(gbkPiece), piece); // no half character in a row
            bytes.push_back(gbkPiece.size());
            whole += piece;
        }
        EXPECT_EQ(bytes, c.bytes) << c.text.toStdString();
        EXPECT_EQ(whole, c.text.toStdString());
        EXPECT_EQ(count("select * from sms_tosend where PHONE='13800000001' and SENDFLAG='未发' and TASKID<>''"),
                  int(bytes.size()));
    }
}

TEST_F(Compose, EmptyTextOrANumberThatIsNoneIsRefusedAndTheDialogStays)
{
    struct Case {
        QString text, phone;
        bool enabled;
        QString message;
    };
    const Case cases[] = {
        {QStringLiteral(" \n "), Mobile, true, QStringLiteral("消息内容不能为空!")},
        {QStringLiteral("hi"), QStringLiteral("  "), true, QStringLiteral("手机号码不能为空!")},
        {QString(), QString(), false, QStringLiteral("消息内容不能为空!")},
        {QStringLiteral("hi"), QStringLiteral("139abc12345"), true,
         QStringLiteral("手机号码“139abc12345”不正确：只能由数字组成，最前面可以有一个“+”号")},
    };
    for (const Case &c : cases) {
        TfrmNewSMS d(QStringLiteral("甲"), c.phone);
        EXPECT_EQ(d.Button1->isEnabled(), c.enabled);
        d.edit2->setPlainText(c.text);
        boxes.ok();
        d.Button1Click();
        EXPECT_EQ(boxes.texts().last(), c.message);
        EXPECT_EQ(d.result(), 0); // still open
    }
    EXPECT_TRUE(messages().empty());
}

TEST_F(Compose, APhraseFromEachCategoryBecomesTheText)
{
    TfrmNewSMS d(QStringLiteral("甲"), Mobile);
    d.show();
    ASSERT_EQ(d.TreeView1->topLevelItemCount(), 6);
    for (int node = 0; node < 6; ++node) {
        const QString category = d.TreeView1->topLevelItem(node)->text(0);
        const std::string file = dir.read("smsbook/" + category.toStdString() + ".txt");
        const QString second = QString::fromStdString(gbk::toUtf8(file)).split("\r\n").value(1);
        choose(d, node);
        ASSERT_GE(d.ListBox1->count(), 2) << category.toStdString();
        EXPECT_EQ(d.ListBox1->item(1)->text(), second);
        d.ListBox1->setCurrentRow(1);
        d.ListBox1DblClick();
        EXPECT_EQ(d.edit2->toPlainText(), second);
        EXPECT_EQ(d.PageControl1->currentWidget(), d.TabSheet1);
        EXPECT_EQ(d.Label4->text(), QStringLiteral("字数：") + QString::number(second.size()));
    }
}

TEST_F(Compose, PhraseFilesAreLinesInGbkAndMissingOrEmptyOnesBreakNothing)
{
    const std::string first = "smsbook/" + workfolder::phraseCategories()[0] + ".txt";
    const std::string second = "smsbook/" + workfolder::phraseCategories()[1] + ".txt";
    const std::string third = "smsbook/" + workfolder::phraseCategories()[2] + ".txt";
    dir.write(first, gbk::fromUtf8("一\r\n二\n\n三\r四\r\n"));
    std::remove(dir.file(second).c_str());
    dir.write(third, "");

    TfrmNewSMS d(QStringLiteral("甲"), Mobile);
    d.show();
    choose(d, 0);
    EXPECT_EQ(rows(d.ListBox1), (QStringList{"一", "二", "", "三", "四"}));
    // A click on the selected node reads its file again.
    dir.write(first, gbk::fromUtf8("五"));
    choose(d, 0);
    EXPECT_EQ(rows(d.ListBox1), QStringList{"五"});

    boxes.ok(); // the error box, once
    d.ListBox1->clear();
    d.ListBox1->addItem("kept");
    QTest::mouseClick(d.TreeView1->viewport(), Qt::LeftButton, {},
                      d.TreeView1->visualItemRect(d.TreeView1->topLevelItem(1)).center());
    QTRY_COMPARE(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].kind, boxes::Kind::Error);
    EXPECT_TRUE(boxes.seen()[0].text.contains(QString::fromStdString(second)));
    EXPECT_EQ(rows(d.ListBox1), QStringList{"kept"});

    choose(d, 2);
    EXPECT_EQ(d.ListBox1->count(), 0);
    // The dialog works on.
    d.edit2->setPlainText("ok");
    d.Button1Click();
    EXPECT_EQ(messages(), std::vector<std::string>{"ok"});
}

// A phrase file is read up to the limit only: whole lines, or of a first
// line longer than the limit that much of it, never half a character.
TEST_F(Compose, APhraseFileIsReadUpToTheLimitAndTheCutIsSaid)
{
    const std::string file = "smsbook/" + workfolder::phraseCategories()[0] + ".txt";
    const size_t limit = size_t(PhraseFileLimit);
    const std::string line = gbk::fromUtf8("祝你快乐") + "\r\n"; // 10 bytes
    const size_t fit = limit / line.size();
    auto lines = [&](size_t n, const std::string &tail = {}) {
        std::string bytes;
        for (size_t i = 0; i < n; ++i)
            bytes += line;
        return bytes + tail;
    };
    struct Case {
        const char *name;
        std::string bytes;
        qsizetype rows;
        QString last;
        bool cut;
    };
    const Case cases[] = {
        {"at the limit", lines(fit, std::string(limit - fit * line.size(), 'x')), qsizetype(fit) + 1,
         QString(int(limit - fit * line.size()), 'x'), false},
        {"one byte more", lines(fit, std::string(limit - fit * line.size() + 1, 'x')), qsizetype(fit),
         QStringLiteral("祝你快乐"), true},
        {"many times the limit", lines(fit * 8), qsizetype(fit), QStringLiteral("祝你快乐"), true},
        // 'a' then double-byte characters: the limit falls inside one.
        {"one long line", "a" + gbk::fromUtf8(QStringLiteral("长").repeated(int(limit)).toStdString()), 1,
         QStringLiteral("a") + QStringLiteral("长").repeated(int(limit / 2) - 1), true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        dir.write(file, c.bytes);
        bool cut = !c.cut;
        const QStringList phrases = readPhrases(QString::fromStdString(workfolder::phraseCategories()[0]), &cut);
        EXPECT_EQ(cut, c.cut);
        EXPECT_EQ(phrases.size(), c.rows);
        EXPECT_EQ(phrases.isEmpty() ? QString() : phrases.back(), c.last);
    }

    // The dialog lists what was read and says that the file was cut.
    dir.write(file, lines(fit * 8));
    boxes.ok();
    TfrmNewSMS d(QStringLiteral("甲"), Mobile);
    d.show();
    choose(d, 0);
    EXPECT_EQ(d.ListBox1->count(), int(fit));
    QTRY_COMPARE(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].icon, boxes::Icon::Warning);
    const QString said = boxes.seen()[0].text;
    EXPECT_TRUE(said.contains(QString::fromStdString(file))) << said.toStdString();
    EXPECT_TRUE(said.contains(QStringLiteral("超过 256 KB，只列出了它前面的 %1 条短语").arg(fit)))
        << said.toStdString();
}

TEST_F(Compose, TypingStopsAt240ButAPhraseMayBeLonger)
{
    const std::string file = "smsbook/" + workfolder::phraseCategories()[0] + ".txt";
    const QString longPhrase = QStringLiteral("长").repeated(300);
    dir.write(file, gbk::fromUtf8(longPhrase.toStdString()));
    TfrmNewSMS d(QStringLiteral("甲"), Mobile);
    d.show();
    d.edit2->setFocus();
    QTest::keyClicks(d.edit2, QString("a").repeated(250));
    EXPECT_EQ(d.edit2->toPlainText().size(), 240);
    choose(d, 0);
    d.ListBox1->setCurrentRow(0);
    d.ListBox1DblClick();
    EXPECT_EQ(d.edit2->toPlainText(), longPhrase);
    d.Button1Click();
    EXPECT_EQ(messages().size(), 5u); // 600 bytes
}

TEST_F(Compose, AFailedSaveLeavesNoPieceAndTheDialogOpen)
{
    exec("create trigger full before insert on sms_tosend when (select count(*) from sms_tosend) >= 1 "
         "begin select raise(abort, 'disk full'); end");
    TfrmNewSMS d(QStringLiteral("甲"), Mobile);
    d.edit2->setPlainText(QStringLiteral("中").repeated(150));
    EXPECT_THROW(d.Button1Click(), std::exception);
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(d.result(), 0);
    EXPECT_TRUE(d.Button1->isEnabled());

    exec("drop trigger full");
    d.Button1Click();
    EXPECT_EQ(messages().size(), 3u);
}

TEST_F(Compose, AMessageReachesTheGatewayPieceByPieceInOrder)
{
    exec("update param set paramval='Sig'");
    std::vector<QString> handed;
    main->Engine.SendToGateway = [&](const QString &phone, const QString &text, const std::vector<std::string> &) {
        EXPECT_EQ(phone, Mobile);
        handed.push_back(text);
        return true;
    };
    QString text;
    for (int i = 0; i < 200; ++i)
        text += QChar(0x4E00 + i * 7);
    modal.then<TfrmNewSMS>([&](TfrmNewSMS *d) {
        d->edit2->setPlainText(text);
        QTest::mouseClick(d->Button1, Qt::LeftButton);
    });
    EXPECT_EQ(TfrmNewSMS(QStringLiteral("甲"), Mobile).exec(), QDialog::Accepted);
    for (int pass = 0; pass < 4; ++pass)
        main->Timer1Timer();
    ASSERT_EQ(handed.size(), 3u);
    QString joined;
    for (const QString &piece : handed) {
        ASSERT_TRUE(piece.endsWith("[Sig]"));
        joined += piece.chopped(5);
    }
    EXPECT_EQ(joined, text);
}

TEST_F(Compose, AReplyGoesToTheSenderAsOneRow)
{
    TfrmReadSMS *atStart = frmReadSMS;
    const QString received = QStringLiteral("收").repeated(70) + " "; // stored with its blank
    {
        TfrmReadSMS d(QStringLiteral("O'Brien"), QStringLiteral("13900000002"), received);
        EXPECT_EQ(frmReadSMS, &d);
        EXPECT_EQ(d.windowTitle(), QStringLiteral("阅读短信"));
        d.Button3Click();
        EXPECT_EQ(d.windowTitle(), QStringLiteral("回复短信"));
        EXPECT_EQ(d.Button3->text(), QStringLiteral("发送"));
        EXPECT_EQ(d.edit2->toPlainText(), "[Re:" + received + "]");
        EXPECT_TRUE(messages().empty());

        for (const char *wrong : {" ", "+86 139"}) {
            d.Edit1->setText(wrong);
            boxes.ok();
            d.Button3Click();
            EXPECT_EQ(d.result(), 0); // still open
        }
        EXPECT_EQ(boxes.texts(),
                  (QStringList{"手机号码不能为空!", "手机号码“+86 139”不正确：只能由数字组成，最前面可以有一个“+”号"}));
        d.Edit1->setText("+8613900000002");
        d.Button3Click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }
    EXPECT_EQ(frmReadSMS, atStart);
    // Longer than 140 bytes, and not cut.
    EXPECT_EQ(messages(), std::vector<std::string>{("[Re:" + received + "]").toStdString()});
    EXPECT_EQ(column("select * from sms_tosend", "PHONE"), std::vector<std::string>{"+8613900000002"});
    EXPECT_EQ(column("select * from sms_tosend", "SENDFLAG"), std::vector<std::string>{"未发"});
}

} // namespace
