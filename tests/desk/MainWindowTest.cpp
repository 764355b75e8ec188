#include "DeskFixture.h"

#include "desk/MdiClient.h"
#include "desk/OperLog.h"
#include "desk/Pictures.h"
#include "desk/about.h"

#include <QAction>
#include <QLabel>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPointer>
#include <QTest>
#include <QUrl>

namespace {

using MainWindow = DeskTest;

TEST_F(MainWindow, MenuHasTheSevenItemsInOrderWithTwoHidden)
{
    TMainFrm *main = login();
    const QList<QAction *> items = main->menuBar()->actions();
    QStringList names, captions, hidden;
    for (QAction *a : items) {
        names << a->objectName();
        captions << a->text();
        if (!a->isVisible())
            hidden << a->objectName();
    }
    EXPECT_EQ(names, (QStringList{"N1_old_old", "N2_old_old", "N5_old_old", "N4_old_old", "N2", "N3_old_old", "N1"}));
    EXPECT_EQ(captions,
              (QStringList{"操作员管理", "联系人管理", "任务管理", "短消息定制管理", "签名设置", "操作日志", "关于"}));
    EXPECT_EQ(hidden, (QStringList{"N1_old_old", "N4_old_old"}));
    EXPECT_EQ(main->menuBar()->objectName(), "MainMenu1");
    EXPECT_EQ(main->Timer1->interval(), 1000);
    EXPECT_EQ(main->Timer2->interval(), 2000);
    EXPECT_EQ(main->Timer3->interval(), 5000);
}

TEST_F(MainWindow, OnlyTheSupervisorPassesTheRightsTestInAnyLetterCase)
{
    for (const char *code : {"kelvo", "KELVO", "Kelvo", "kElVo"})
        EXPECT_TRUE(TMainFrm::IsSupervisor(code)) << code;
    // Only a to z change: a full-width or padded code is someone else.
    for (const char *code : {"kelvo ", " kelvo", "kelv0", "ｋｅｌｖｏ", "", "kelvox"})
        EXPECT_FALSE(TMainFrm::IsSupervisor(QString::fromUtf8(code))) << code;

    TMainFrm *main = login();
    EXPECT_TRUE(main->RightsTest());
    EXPECT_TRUE(boxes.seen().empty());
    main->WorkCode = "operator1";
    process->MakeLoginForm(); // the hidden owner of the box
    boxes.ok();
    EXPECT_FALSE(main->RightsTest());
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].text, "您没有操作权限");
    EXPECT_EQ(boxes.seen()[0].caption, "操作失败！");
    EXPECT_EQ(boxes.seen()[0].owner, frmLogin);
}

TEST_F(MainWindow, SignatureDialogEditsTheQmRowAsTyped)
{
    TMainFrm *main = login();
    // The shipped empty row: an empty box; OK stores the text untrimmed.
    boxes.ok(" word ");
    main->N2Click();
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].kind, boxes::Kind::Input);
    EXPECT_EQ(boxes.seen()[0].caption, "签名设置  ");
    EXPECT_EQ(boxes.seen()[0].text, "请输入短信签名    ");
    EXPECT_EQ(boxes.seen()[0].value, "");
    EXPECT_EQ(column("select * from param where paramid='QM'", "paramval"), std::vector<std::string>{" word "});

    // Cancel changes nothing; the box offered the stored text.
    boxes.cancel();
    main->N2Click();
    EXPECT_EQ(boxes.seen().back().value, " word ");
    EXPECT_EQ(column("select * from param where paramid='QM'", "paramval"), std::vector<std::string>{" word "});

    // An empty text is stored empty, and shown empty next time.
    boxes.ok("");
    main->N2Click();
    boxes.okKeep();
    main->N2Click();
    EXPECT_EQ(boxes.seen().back().value, "");
    EXPECT_EQ(column("select * from param where paramid='QM'", "paramval"), std::vector<std::string>{""});

    // Without the row, OK makes it.
    exec("delete from param");
    boxes.ok("it's me");
    main->N2Click();
    EXPECT_EQ(column("select * from param where paramid='QM'", "paramval"), std::vector<std::string>{"it's me"});
    EXPECT_EQ(count("select * from operlog"), 0);

    auto other = anotherProgramsLock(); // told, and the box comes back with the text
    boxes.clear();
    boxes.ok("新签名");
    boxes.ok();
    boxes.cancel();
    main->N2Click();
    EXPECT_TRUE(boxes.texts().value(1).startsWith("数据库正被其他程序占用"));
    EXPECT_EQ(boxes.seen().back().value, "新签名");
    EXPECT_EQ(column("select * from param where paramid='QM'", "paramval"), std::vector<std::string>{"it's me"});
}

TEST_F(MainWindow, AManagementWindowIsOpenedOncePerClass)
{
    TMainFrm *main = login();
    main->N3_old_oldClick();
    ASSERT_NE(frmOperLog, nullptr);
    QPointer<TfrmOperLog> first = frmOperLog;
    ASSERT_EQ(main->MDIClient->subWindowList().size(), 1);
    QMdiSubWindow *sub = main->MDIClient->subWindowList().front();
    EXPECT_TRUE(sub->isMaximized());

    sub->showMinimized();
    main->N3_old_oldClick();
    EXPECT_EQ(main->MDIClient->subWindowList().size(), 1);
    EXPECT_EQ(frmOperLog, first.data());
    EXPECT_TRUE(sub->isMaximized());
    EXPECT_EQ(main->MDIClient->activeSubWindow(), sub);

    // Closed, it is freed; the menu then makes a fresh one.
    sub->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(frmOperLog, nullptr);
    main->N3_old_oldClick();
    EXPECT_NE(frmOperLog, nullptr);
    EXPECT_EQ(main->MDIClient->subWindowList().size(), 1);
}

TEST_F(MainWindow, AboutBoxIsOneWindowShownAndHiddenAndItsLinkGoesThroughTheOpener)
{
    TMainFrm *main = login();
    process->MakeAboutBox();
    TfrmAbout *about = frmAbout;
    main->N1Click();
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->isModal());
    EXPECT_EQ(about->windowTitle(), "关于澜星信使");
    about->close();
    EXPECT_FALSE(about->isVisible());
    main->N1Click();
    EXPECT_EQ(frmAbout, about);
    EXPECT_TRUE(about->isVisible());

    std::vector<QUrl> opened;
    UrlOpener previous = setUrlOpener([&](const QUrl &u) { opened.push_back(u); });
    QTest::mouseClick(about->Label2, Qt::LeftButton);
    setUrlOpener(previous);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], QUrl(TfrmAbout::WebAddress));
}

TEST_F(MainWindow, EveryActivationDropsThePendingDialRequest)
{
    TMainFrm *main = login();
    int cleared = 0;
    main->Engine.ClearDialNumber = [&] { ++cleared; };
    main->FormActivate();
    main->FormActivate();
    EXPECT_EQ(cleared, 2);
    main->show();
    main->activateWindow();
    QTRY_VERIFY(cleared > 2);
}

TEST_F(MainWindow, BackgroundIsTiledFromTheTopLeftCorner)
{
    TMainFrm *main = login();
    main->resize(700, 500);
    main->show();
    QImage shot = main->MDIClient->viewport()->grab().toImage();
    const QImage tile = pictures::BackgroundTile().toImage();
    for (QPoint at : {QPoint(0, 0), QPoint(32, 0), QPoint(64, 96), QPoint(40, 50)})
        EXPECT_EQ(shot.pixel(at), tile.pixel(at.x() % 32, at.y() % 32)) << at.x() << "," << at.y();
}

} // namespace
