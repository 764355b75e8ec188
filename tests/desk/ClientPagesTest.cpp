// The contact editor's pages: the photo row, notes, the message lists, the
// extra columns and the photos, and posts made while the task runner runs.
#include "ClientFixture.h"
#include "ModelTester.h"

#include "desk/DataControls.h"
#include "desk/EditClient.h"

#include <QBuffer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>

namespace {

using ClientPages = ContactsTest;
using Nav = TDBNavigator::Button;

QByteArray encoded(const QImage &image, const char *format)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 90);
    return out;
}

// Red on the left, blue on the right.
QImage halves(int width, int height, QImage::Format format = QImage::Format_RGB32)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::blue);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width / 2; ++x)
            image.setPixel(x, y, qRgb(255, 0, 0));
    return image.convertToFormat(format);
}

QImage noise(int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            image.setPixel(x, y, QRandomGenerator::global()->generate());
    return image;
}

// A JPEG whose frame header claims 60000 x 60000 pixels.
QByteArray huge()
{
    QByteArray bytes = encoded(halves(16, 16), "JPG");
    const qsizetype sof = bytes.indexOf("\xFF\xC0");
    for (qsizetype at : {sof + 5, sof + 7}) {
        bytes[at] = char(0xEA);
        bytes[at + 1] = char(0x60);
    }
    return bytes;
}

QImage stored(const std::string &bytes) { return QImage::fromData(QByteArray::fromStdString(bytes)); }

// The editor's three grids under Qt's model tester.
void testGrids(const TfrmEditClient *d)
{
    for (TDBGrid *grid : {d->DBGrid1, d->DBGrid2, d->DBGrid3})
        attachModelTester(grid->model());
}

TEST_F(ClientPages, APhotoRowIsMadeOnceAndANoteGoesUnderTheNameAsLoaded)
{
    add("clientsession", {{"CLIENTID", "张三"}, {"datetime", "2020-01-01 08:00:00"}, {"session", "old"}});
    add("clientsession", {{"CLIENTID", "张三"}, {"datetime", "2021-01-01 08:00:00"}, {"session", "new"}});
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    const char *const openings[] = {"张三", "张三", "O'Brien"};
    for (int opening = 0; opening < 3; ++opening) {
        pick(openings[opening]);
        modal.then<TfrmEditClient>([&](TfrmEditClient *d) {
            testGrids(d);
            if (opening == 2) {
                // No note to edit: typing makes no note of nobody.
                QTest::keyClicks(d->DBMemo2, "x");
                d->DBNavigator2->Click(Nav::Post);
            }
            if (opening > 0)
                return d->CancelClick();
            EXPECT_EQ(d->DBGrid2->RowCount(), 2);
            EXPECT_EQ(d->DBGrid2->CellText(0, 1), "2021-1-1 8:00:00"); // newest first
            EXPECT_EQ(d->DBGrid2->CellText(0, 2), "new");
            EXPECT_EQ(d->DBMemo2->toPlainText(), "new");
            // A status typed in place, posted with the navigator.
            d->DBGrid2->model()->setData(d->DBGrid2->model()->index(0, 3), "done");
            d->DBNavigator2->Click(Nav::Post);
            // A name typed but never saved is no contact: the note stays with 张三.
            d->Edit1->setText("李雷");
            d->Memo1->setPlainText("added");
            d->Button5Click();
            EXPECT_TRUE(d->Memo1->toPlainText().isEmpty());
            EXPECT_EQ(d->DBGrid2->RowCount(), 3);
            EXPECT_EQ(d->DBGrid2->CellText(2, 2), "added");
            d->CancelClick();
        });
        win->SpeedButton10Click();
        ASSERT_TRUE(modal.done());
    }
    EXPECT_EQ(column("select * from clientphotos", "CLIENTID"), (Rows{"张三", "O'Brien"}));
    EXPECT_EQ(photo("photo1"), "");
    EXPECT_EQ(count("select * from clientsession"), 3);
    EXPECT_EQ(column("select * from clientsession where clientid='张三' order by datetime", "session"),
              (Rows{"old", "new", "added"}));
    EXPECT_EQ(column("select * from clientsession where session='new'", "Status"), Rows{"done"});
    const auto added = column("select * from clientsession where session='added'", "datetime");
    ASSERT_EQ(added.size(), 1u);
    bool ok = false;
    const QDateTime at = ado::parseDateTime(added[0], &ok);
    EXPECT_TRUE(at >= before && at <= QDateTime::currentDateTime()) << added[0];
    EXPECT_EQ(client("张三", "CLIENTID"), Rows{"张三"});
}

TEST_F(ClientPages, TheMessageListsMatchTheMobileNumberAsStored)
{
    add("sms_tosend", {{"TASKID", "2024-5-6 8:00:00"}, {"PHONE", " "}, {"MESSAGE", "to blank"}, {"SENDFLAG", "已发"}});
    add("sms_tosend", {{"TASKID", "T7"}, {"PHONE", " "}, {"MESSAGE", "from task"}, {"SENDFLAG", "未发"}});
    add("sms_tosend", {{"TASKID", "T8"}, {"PHONE", "13800000001"}, {"MESSAGE", "to zhang"}});
    add("sms_tosend", {{"TASKID", "T9"}, {"PHONE", "+8613800000001"}, {"MESSAGE", "prefixed"}});
    add("sms_toread",
        {{"PHONE", " "}, {"MESSAGE", "from blank"}, {"TIME", "2024-05-06 09:00:00"}, {"READFLAG", "未读"}});
    add("sms_toread", {{"PHONE", "8613800000001"}, {"MESSAGE", "prefixed"}});
    const struct {
        const char *contact;
        QStringList sent;     // TASKID of each sent row
        QStringList received; // MESSAGE of each received row
        const char *memo;     // at opening
    } cases[] = {
        {"O'Brien", {"2024-5-6 8:00:00", "T7"}, {"from blank"}, "from blank"},
        {"张三", {"T8"}, {}, "to zhang"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.contact);
        pick(c.contact);
        modal.then<TfrmEditClient>([&](TfrmEditClient *d) {
            testGrids(d);
            QStringList sent, received;
            for (int row = 0; row < d->DBGrid1->RowCount(); ++row)
                sent << d->DBGrid1->CellText(row, 0);
            for (int row = 0; row < d->DBGrid3->RowCount(); ++row)
                received << d->DBGrid3->CellText(row, 2);
            EXPECT_EQ(sent, c.sent);
            EXPECT_EQ(received, c.received);
            EXPECT_EQ(d->Memo2->toPlainText(), c.memo);
            // A click on a sent row shows its text.
            d->PageControl1->setCurrentIndex(2);
            const int last = d->DBGrid1->RowCount() - 1;
            QTest::mouseClick(d->DBGrid1->viewport(), Qt::LeftButton, {},
                              d->DBGrid1->visualRect(d->DBGrid1->model()->index(last, 1)).center());
            EXPECT_EQ(d->Memo2->toPlainText(), last == 1 ? "from task" : "to zhang");
            d->CancelClick();
        });
        win->SpeedButton10Click();
        ASSERT_TRUE(modal.done());
    }
}

TEST_F(ClientPages, PostsLandOnTheContactsRowsWhileTheRunnerRuns)
{
    // A due task for a group: the runner re-points the data module's shared
    // queries (Query3 among them) while the editor is open.
    add("client", {{"CLIENTID", "李四"}, {"CONTACT", "13800000002"}});
    add("client_cgroup", {{"CLIENTID", "李四"}, {"GROUPNAME", "同事"}});
    add("task", {{"TASKID", "T1"}, {"MESSAGE", "hi"}, {"EXETIME", "2020-01-01 08:00:00"}, {"STATE", "未执行"}});
    add("task_cgroup", {{"TASKID", "T1"}, {"GROUPNAME", "同事"}});
    dir.write("face.jpg", encoded(halves(64, 48), "JPG").toStdString());
    for (const char *typed : {"zs", "lost"}) {
        SCOPED_TRACE(typed);
        pick("张三");
        modal.then<TfrmEditClient>([&](TfrmEditClient *d) {
            testGrids(d);
            QTest::keyClicks(d->DBEdit(1), typed);
            if (std::string(typed) == "zs") {
                boxes.ok(QString::fromStdString(dir.file("face.jpg")));
                d->N1Click();
                main->Timer3Timer();
                main->Timer1Timer();
                d->DBNavigator3->Click(Nav::Post);
                d->DBNavigator1->Click(Nav::Post);
            }
            // The second time not posted: "确定" stores the page's boxes.
            d->OkClick();
        });
        win->SpeedButton10Click();
        ASSERT_TRUE(modal.done());
    }
    EXPECT_EQ(column("select * from task where taskid='T1'", "STATE"), Rows{"已执行"});
    EXPECT_EQ(column("select * from client where nickname is not null", "CLIENTID"), Rows{"张三"});
    EXPECT_EQ(client("张三", "nickname"), Rows{"zslost"});
    EXPECT_EQ(stored(photo("photo1")).size(), QSize(64, 48));
    EXPECT_EQ(count("select * from clientphotos"), 1);
}

TEST_F(ClientPages, APhotoLoadedButNotPostedIsStoredByOkAndAskedForOnCancel)
{
    dir.write("face.jpg", encoded(halves(64, 48), "JPG").toStdString());
    enum class Close { Ok, Cancel, Escape };
    struct Case {
        const char *name;
        Close close;
        bool keep; // the answer to the question, where there is one
    };
    const Case cases[] = {
        {"确定", Close::Ok, true},
        {"取消, stored", Close::Cancel, true},
        {"取消, dropped", Close::Cancel, false},
        {"Esc, dropped", Close::Escape, false},
    };
    const QString question = QStringLiteral("载入的照片还没有保存，要保存吗？");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        exec("delete from clientphotos");
        boxes.clear();
        boxes.ok(QString::fromStdString(dir.file("face.jpg")));
        if (c.close != Close::Ok)
            c.keep ? boxes.ok() : boxes.cancel();
        pick("张三");
        modal.then<TfrmEditClient>([&](TfrmEditClient *d) {
            d->ScrollBar1->setValue(1);
            d->N1Click();
            ASSERT_FALSE(d->DBImage1->Picture().isNull()); // shown, not yet stored
            switch (c.close) {
            case Close::Ok: d->OkClick(); break;
            case Close::Cancel: d->CancelClick(); break;
            case Close::Escape: QTest::keyClick(d, Qt::Key_Escape); break;
            }
            EXPECT_EQ(d->result(), c.close == Close::Ok ? QDialog::Accepted : QDialog::Rejected);
        });
        win->SpeedButton10Click();
        ASSERT_TRUE(modal.done());
        EXPECT_EQ(boxes.texts().contains(question), c.close != Close::Ok);
        EXPECT_EQ(photo("photo1"), "");
        // On reopening the photo is there, or the slot is as it was.
        bool shown = false;
        pick("张三");
        modal.then<TfrmEditClient>([&](TfrmEditClient *d) {
            d->ScrollBar1->setValue(1);
            shown = !d->DBImage1->Picture().isNull();
            d->CancelClick();
        });
        win->SpeedButton10Click();
        ASSERT_TRUE(modal.done());
        EXPECT_EQ(shown, c.keep);
        EXPECT_EQ(stored(photo("photo2")).size(), c.keep ? QSize(64, 48) : QSize(0, 0));
    }
}

TEST_F(ClientPages, WhatWasTypedOnAPageIsStoredByOkAndAskedForOnCancel)
{
    enum class Typed { Nickname, NewNote, EditedNote };
    enum class Close { Ok, CancelStore, CancelDrop, OkRefused };
    struct Case {
        const char *name;
        Typed typed;
        Close close;
        Rows nickname; // 张三's afterwards
        Rows notes;    // 张三's afterwards, oldest first
    };
    const Rows none{""}, old{"old"};
    const Case cases[] = {
        {"nickname, 确定", Typed::Nickname, Close::Ok, {"zs"}, old},
        {"nickname, 取消, stored", Typed::Nickname, Close::CancelStore, {"zs"}, old},
        {"nickname, 取消, dropped", Typed::Nickname, Close::CancelDrop, none, old},
        // Changed meanwhile elsewhere: told, and the editor keeps what was typed.
        {"nickname refused", Typed::Nickname, Close::OkRefused, {"其他人改的"}, old},
        {"new note, 确定", Typed::NewNote, Close::Ok, none, {"old", "回电"}},
        {"new note, 取消, stored", Typed::NewNote, Close::CancelStore, none, {"old", "回电"}},
        {"edited note, 确定", Typed::EditedNote, Close::Ok, none, {"改过"}},
        {"edited note, 取消, dropped", Typed::EditedNote, Close::CancelDrop, none, old},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        exec("update client set nickname='' where clientid='张三'");
        exec("delete from clientsession");
        add("clientsession", {{"CLIENTID", "张三"}, {"datetime", "2020-01-01 08:00:00"}, {"session", "old"}});
        boxes.clear();
        const bool notes = c.typed != Typed::Nickname;
        const QString question = notes ? QStringLiteral("填写的事务记录还没有保存，要保存吗？")
                                       : QStringLiteral("“其他”页填写的资料还没有保存，要保存吗？");
        if (c.close == Close::OkRefused)
            boxes.ok(); // the error box
        if (c.close != Close::Ok)
            c.close == Close::CancelStore ? boxes.ok() : boxes.cancel();
        pick("张三");
        modal.then<TfrmEditClient>([&](TfrmEditClient *d) {
            switch (c.typed) {
            case Typed::Nickname: QTest::keyClicks(d->DBEdit(1), "zs"); break;
            case Typed::NewNote: d->Memo1->setPlainText("回电"); break;
            case Typed::EditedNote: d->DBMemo2->setPlainText("改过"); break;
            }
            if (c.close == Close::OkRefused) {
                exec("update client set nickname='其他人改的' where clientid='张三'");
                d->OkClick();
                EXPECT_TRUE(d->isVisible());
                EXPECT_EQ(d->DBEdit(1)->text(), "zs");
            }
            c.close == Close::Ok ? d->OkClick() : d->CancelClick();
        });
        win->SpeedButton10Click();
        ASSERT_TRUE(modal.done());
        EXPECT_EQ(boxes.texts().contains(question), c.close != Close::Ok);
        EXPECT_EQ(client("张三", "nickname"), c.nickname);
        EXPECT_EQ(column("select * from clientsession order by datetime", "session"), c.notes);
    }
}

TEST_F(ClientPages, ARefusedOkStoresNothingOfThePages)
{
    boxes.ok(); // the mobile number
    boxes.ok(); // another contact's name
    pick("张三");
    modal.then<TfrmEditClient>([&](TfrmEditClient *d) {
        QTest::keyClicks(d->DBEdit(1), "zs");
        d->Memo1->setPlainText("回电");
        d->Edit3->setText("139abc");
        d->OkClick();
        d->Edit3->clear();
        d->Edit1->setText("O'Brien");
        d->OkClick();
        d->done(QDialog::Rejected); // what the pages hold goes with the editor
    });
    win->SpeedButton10Click();
    ASSERT_TRUE(modal.done());
    EXPECT_TRUE(boxes.texts().value(0).contains("“139abc”不正确"));
    EXPECT_TRUE(boxes.texts().value(1).contains("是否重复"));
    EXPECT_EQ(client("张三", "nickname"), Rows{""});
    EXPECT_EQ(count("select * from clientsession"), 0);
}

TEST_F(ClientPages, APhotoIsStoredAsABitmapAndAFailedLoadKeepsTheColumn)
{
    const QByteArray before = encoded(halves(8, 8).mirrored(true, false), "BMP"); // blue on the left
    {
        TAdoQuery q(DataModule1->Database1);
        q.SetSQL("select * from clientphotos");
        q.Open();
        q.Append();
        q.FieldByName("CLIENTID")->SetAsString("张三");
        for (const char *c : {"photo1", "photo2", "photo3", "photo4"})
            q.FieldByName(c)->SetAsBytes(before);
        q.FieldByName("photo5")->SetAsBytes("no picture");
        q.Post();
    }
    const QByteArray jpeg = encoded(noise(300), "JPG");
    struct Case {
        const char *name;
        QByteArray file;
        int slot;
        bool post;
        QString message; // "" when it loads
        QSize stored;    // of the column afterwards; the former 8 x 8 when kept
    };
    const Case cases[] = {
        {"a JPEG", encoded(halves(64, 48), "JPG"), 2, true, "", {64, 48}},
        {"a JPEG cancelled", encoded(halves(64, 48), "JPG"), 0, false, "", {8, 8}},
        {"a grey JPEG", encoded(halves(40, 20, QImage::Format_Grayscale8), "JPG"), 1, true, "", {40, 20}},
        {"a large JPEG", encoded(halves(3000, 1500), "JPG"), 3, true, "", {1024, 512}},
        {"a bitmap", encoded(halves(30, 10), "BMP"), 0, true, "", {30, 10}},
        {"a JPEG cut short", jpeg.left(jpeg.size() / 3), 1, true, "无法读取图片：file.jpg", {40, 20}},
        {"no picture", "GIF89a? no", 2, true, "无法读取图片：file.jpg", {64, 48}},
        {"huge", huge(), 3, true, "图片太大，无法载入：file.jpg", {1024, 512}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        dir.write("file.jpg", c.file.toStdString());
        const std::string column = "photo" + std::to_string(c.slot + 1);
        const std::string was = photo(column.c_str());
        const std::string first = photo("photo1");
        boxes.clear();
        pick("张三");
        modal.then<TfrmEditClient>([&](TfrmEditClient *d) {
            testGrids(d);
            d->ScrollBar1->setValue(4); // a column that holds no picture: shown empty, told, kept
            EXPECT_TRUE(d->DBImage1->Picture().isNull());
            d->ScrollBar1->setValue(c.slot);
            EXPECT_EQ(d->DBImage1->DataField().toStdString(), column);
            EXPECT_FALSE(d->DBImage1->Picture().isNull());
            boxes.ok(QString::fromStdString(dir.file("file.jpg")));
            if (!c.message.isEmpty())
                boxes.ok();
            d->N1Click();
            EXPECT_EQ(d->DBImage1->Picture().isNull(), !c.message.isEmpty());
            d->DBNavigator1->Click(c.post ? Nav::Post : Nav::Cancel);
            d->CancelClick();
        });
        boxes.ok(); // the message about photo5
        win->SpeedButton10Click();
        ASSERT_TRUE(modal.done());
        ASSERT_GE(boxes.seen().size(), 2u);
        EXPECT_EQ(boxes.seen()[1].kind, boxes::Kind::OpenPicture);
        QStringList texts = boxes.texts();
        texts.removeAt(1);
        QStringList expected{"照片无法显示，photo5中的内容保持不变"};
        if (!c.message.isEmpty())
            expected << c.message;
        EXPECT_EQ(texts, expected);
        const QImage now = stored(photo(column.c_str()));
        EXPECT_EQ(now.size(), c.stored);
        if (!c.message.isEmpty() || !c.post) {
            EXPECT_EQ(photo(column.c_str()), was);
        } else {
            EXPECT_EQ(QByteArray::fromStdString(photo(column.c_str())).left(2), "BM");
        }
        if (c.stored.width() > 8) { // red (brighter) stays on the left
            EXPECT_GT(qGray(now.pixel(1, now.height() / 2)), qGray(now.pixel(now.width() - 2, now.height() / 2)));
        }
        if (c.slot != 0) {
            EXPECT_EQ(photo("photo1"), first);
        }
        EXPECT_EQ(photo("photo5"), "no picture");
    }
}

} // namespace
