#include "DeskFixture.h"
#include "gateway/window/SMSMain.h"

#include "desk/MdiClient.h"
#include "desk/about.h"

#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <QTest>

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
    auto *main = new TMainFrm;
    EXPECT_EQ(attempts, 3);
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
    auto *main = new TMainFrm;
    ASSERT_TRUE(main->LoggedIn());
    EXPECT_EQ(boxes.texts(), QStringList{"工号错误，请重新输入工号"});
    EXPECT_EQ(boxes.seen().at(0).caption, "登录失败！");
    EXPECT_EQ(main->WorkCode, "KeLvO"); // as typed, not as stored
    EXPECT_TRUE(main->IsSupervisor(main->WorkCode));
}

TEST_F(Login, AMissingDatabaseIsReportedAndTheDialogStays)
{
    QFile::remove(QString::fromStdString(dir.file("dbvord.mdb")));
    boxes.ok(); // the error box
    modal.then<TfrmLogin>([&](TfrmLogin *d) {
        QTest::mouseClick(d->Button1, Qt::LeftButton); // the error ends the click only
        EXPECT_TRUE(d->isVisible());
        EXPECT_EQ(DataModule1, nullptr);
        QTest::mouseClick(d->Button2, Qt::LeftButton);
    });
    auto *main = new TMainFrm;
    EXPECT_FALSE(main->LoggedIn());
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].kind, boxes::Kind::Error);
    delete main;
}

TEST_F(Login, CancelEndsTheStartWithoutAnyOtherWindow)
{
    modal.then<TfrmLogin>([](TfrmLogin *d) {
        d->Button2Click();
        EXPECT_TRUE(d->Edit1->text().isEmpty());
        EXPECT_TRUE(d->Edit2->text().isEmpty());
    });
    EXPECT_FALSE(desk::startDesk());
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
    ASSERT_TRUE(desk::startDesk());
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
