#include "DeskFixture.h"
#include "gateway/window/SMSMain.h"

#include "desk/MdiClient.h"
#include "desk/about.h"
#include "support/OtherUser.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <sys/stat.h>

namespace {

using Login = DeskTest;

TEST_F(Login, ThreeWrongPasswordsThenTheRightOneStartsTheDispatch)
{
    int attempts = 0;
    for (int i = 0; i < 3; ++i)
        boxes.ok(); // the wrong password
    modal.then<TfrmLogin>([&](TfrmLogin *d) {
        for (int i = 0; i < 3; ++i) {
            d->Edit2->setText("TOBRUN"); // letter case counts
            QTest::mouseClick(d->Button1, Qt::LeftButton);
            ++attempts;
            EXPECT_EQ(d->Edit1->text(), "kelvo");
            EXPECT_TRUE(d->Edit2->text().isEmpty());
            EXPECT_EQ(DataModule1, nullptr);
            EXPECT_TRUE(d->isVisible());
        }
        d->Edit2->setText("tobrun");
        QTest::keyClick(d->Edit2, Qt::Key_Return); // Enter in the password box
    });
    TMainFrm *main = process->OpenMainWindow();
    EXPECT_EQ(attempts, 3);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(main->LoggedIn());
    EXPECT_EQ(boxes.texts(), QStringList(3, "密码错误，请重新输入密码"));
    for (const auto &r : boxes.seen()) {
        EXPECT_EQ(r.caption, "登录失败！");
        EXPECT_EQ(r.kind, boxes::Kind::Message);
    }
    EXPECT_EQ(main->WorkCode, "kelvo");
    EXPECT_NE(DataModule1, nullptr);
    EXPECT_TRUE(main->Timer1->isActive());
    EXPECT_TRUE(main->Timer3->isActive());
    EXPECT_FALSE(main->Timer2->isActive());
    EXPECT_EQ(count("select * from operlog"), 0); // a login writes no log row
}

TEST_F(Login, AnUnknownWorkCodeClearsOnlyItsBoxAndAnyLetterCaseIsFound)
{
    boxes.ok(); // the unknown work code
    modal.then<TfrmLogin>([&](TfrmLogin *d) {
        d->Edit1->setText("nobody' or '1'='1");
        d->Button1Click();
        EXPECT_TRUE(d->Edit1->text().isEmpty());
        EXPECT_EQ(d->Edit2->text(), "tobrun");
        d->Edit1->setText("KeLvO");
        d->Button1Click();
    });
    TMainFrm *main = process->OpenMainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(main->LoggedIn());
    EXPECT_EQ(boxes.texts(), QStringList{"工号错误，请重新输入工号"});
    EXPECT_EQ(boxes.seen().at(0).caption, "登录失败！");
    EXPECT_EQ(main->WorkCode, "KeLvO"); // as typed, not as stored
    EXPECT_TRUE(main->IsSupervisor(main->WorkCode));
}

// A database that cannot be used is said in Chinese with its path, what is
// wrong and what to do; the file stays as it was and the dialog stays.
TEST_F(Login, ADatabaseThatCannotBeUsedIsSaidWithWhatToDoAndLeftUnchanged)
{
    const std::string file = dir.file("dbvord.mdb");
    const std::string good = dir.read("dbvord.mdb");
    const QString path = QFileInfo(QString::fromStdString(file)).absoluteFilePath();
    const QString folder = QFileInfo(QString::fromStdString(file)).absolutePath();
    auto remake = [&](const std::string &password) {
        QFile::remove(QString::fromStdString(file));
        TAdoConnection::CreateDatabase(file, password, {"create table operater (WORKCODE text, PASSWORD text)"});
    };
    auto damage = [&] {
        std::string bytes = good;
        for (size_t i = 4096 + 100; i < bytes.size(); i += 512)
            bytes[i] ^= 0x5a;
        dir.write("dbvord.mdb", bytes);
    };
    struct Case {
        const char *name;
        std::function<void()> make;
        QString said;
        bool anotherUser = false; // permissions hold for root only in another process
    };
    const Case cases[] = {
        {"damaged", damage,
         QStringLiteral("数据库文件 %1 已损坏，不能读取。\n请退出澜星信使，用这个文件的备份替换它").arg(path)},
        {"empty", [&] { dir.write("dbvord.mdb", ""); }, QStringLiteral("数据库文件 %1 已损坏").arg(path)},
        {"plain", [&] { remake(""); },
         QStringLiteral(
             "数据库文件 %1 是没有加密的 SQLite 数据库，不是澜星信使的数据库。\n请退出澜星信使，用这个文件的备份替换它")
             .arg(path)},
        {"other key", [&] { remake("secret"); }, QStringLiteral("数据库文件 %1 不能用澜星信使的密码打开").arg(path)},
        {"missing", [&] { QFile::remove(QString::fromStdString(file)); },
         QStringLiteral("找不到数据库文件 %1。\n请把它的备份放回这个位置").arg(path)},
        {"read-only folder",
         [&] {
             dir.write("dbvord.mdb", good);
             ::chmod(file.c_str(), 0644);
             ::chmod(dir.path().c_str(), 0555);
         },
         QStringLiteral("数据库文件 %1 所在的文件夹 %2 不能写入").arg(path, folder), true},
        // The database would open it for reading without a word.
        {"read-only file",
         [&] {
             ::chmod(dir.path().c_str(), 0777);
             ::chmod(file.c_str(), 0444);
         },
         QStringLiteral("数据库文件 %1 不能写入（没有权限）。\n澜星信使要在这个文件中保存联系人、短信和任务。")
             .arg(path),
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        c.make();
        const std::string before = dir.read("dbvord.mdb");
        const bool existed = QFileInfo::exists(QString::fromStdString(file));
        QString said;
        if (c.anotherUser) {
            said = QString::fromStdString(outputAsAnotherUser([] {
                try {
                    TDataModule1 dm;
                    TAdoQuery q(dm.Database1);
                    q.SetSQL("select * from operater");
                    q.Open();
                    return std::string("opened");
                } catch (const EDatabaseError &e) {
                    return databaseFailureText(e).toStdString();
                }
            }));
            ::chmod(dir.path().c_str(), 0700);
        } else {
            boxes.clear();
            boxes.ok();
            TfrmLogin login;
            login.Button1Click();
            EXPECT_EQ(DataModule1, nullptr);
            EXPECT_EQ(login.Edit1->text(), "kelvo"); // nothing of the operator's is cleared
            EXPECT_EQ(login.Edit2->text(), "tobrun");
            ASSERT_EQ(boxes.seen().size(), 1u);
            EXPECT_EQ(boxes.seen()[0].caption, "登录失败！");
            EXPECT_EQ(boxes.seen()[0].icon, boxes::Icon::Error);
            said = boxes.seen()[0].text;
        }
        EXPECT_TRUE(said.startsWith(c.said)) << said.toStdString();
        EXPECT_TRUE(said.contains(QStringLiteral("（SQLite："))) << said.toStdString();
        EXPECT_EQ(dir.read("dbvord.mdb"), before);
        EXPECT_EQ(QFileInfo::exists(QString::fromStdString(file)), existed);
    }
}

TEST_F(Login, CancelEndsTheStartWithoutAnyOtherWindow)
{
    modal.then<TfrmLogin>([](TfrmLogin *d) {
        d->Button2Click();
        EXPECT_TRUE(d->Edit1->text().isEmpty());
        EXPECT_TRUE(d->Edit2->text().isEmpty());
    });
    EXPECT_FALSE(process->Start());
    EXPECT_EQ(MainFrm, nullptr);
    EXPECT_EQ(DataModule1, nullptr);
    EXPECT_EQ(frmAbout, nullptr);
    EXPECT_EQ(FMain, nullptr);
    for (QWidget *w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
}

TEST_F(Login, StartingShowsTheMainWindowAndKeepsTheOthersHidden)
{
    modal.then<TfrmLogin>([](TfrmLogin *d) { d->Button1Click(); });
    ASSERT_TRUE(process->Start());
    ASSERT_NE(MainFrm, nullptr);
    EXPECT_TRUE(MainFrm->isVisible());
    EXPECT_EQ(MainFrm->windowTitle(), "澜星信使V1.1");
    EXPECT_EQ(QCoreApplication::applicationName(), "澜星信使");
    ASSERT_NE(frmLogin, nullptr); // the second, hidden login form
    EXPECT_FALSE(frmLogin->isVisible());
    ASSERT_NE(frmAbout, nullptr);
    EXPECT_FALSE(frmAbout->isVisible());
    // The gateway window is shown and has started the engine.
    ASSERT_NE(FMain, nullptr);
    EXPECT_TRUE(FMain->isVisible());
    EXPECT_NE(Gateway, nullptr);
    EXPECT_TRUE(FMain->Button3->isEnabled());
    EXPECT_TRUE(MainFrm->MDIClient->subWindowList().isEmpty());
}

} // namespace
