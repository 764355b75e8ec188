#include "DeskFixture.h"

#include "desk/MdiClient.h"
#include "desk/OperLog.h"
#include "desk/StatusBar.h"

#include <QMdiSubWindow>
#include <QPointer>
#include <QSignalSpy>

namespace {

class Shutdown : public DeskTest {
protected:
    void SetUp() override
    {
        DeskTest::SetUp();
        main = login();
        main->ShutdownStepMs = 20;
        main->Engine.SetClosing = [this] { ++closingSet; };
        main->Engine.AllIdle = [this] {
            ++idleTests;
            return idleTests > busyTests;
        };
    }

    TMainFrm *main = nullptr;
    int closingSet = 0;
    int idleTests = 0;
    int busyTests = 0; // tests that find a channel busy before it goes idle
};

TEST_F(Shutdown, CancelLeavesEverythingRunning)
{
    boxes.cancel();
    main->Timer1->start();
    EXPECT_FALSE(main->close());
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].text, "您确定要退出澜星信使吗？");
    EXPECT_EQ(boxes.seen()[0].caption, "退出程序");
    EXPECT_EQ(boxes.seen()[0].kind, boxes::Kind::Confirm);
    EXPECT_EQ(closingSet, 0);
    EXPECT_EQ(idleTests, 0);
    EXPECT_TRUE(main->Timer1->isActive());
}

TEST_F(Shutdown, IdleEngineClosesAtTheFirstTestAndTheChildrenGo)
{
    main->N3_old_oldClick();
    QPointer<TfrmOperLog> log = frmOperLog;
    QSignalSpy closed(main, &TMainFrm::Closed);
    boxes.ok(); // the exit question
    EXPECT_TRUE(main->close());
    EXPECT_EQ(closingSet, 1);
    EXPECT_EQ(idleTests, 1);
    EXPECT_EQ(closed.count(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(log.isNull());
}

TEST_F(Shutdown, WaitKeepsTheMessageLoopAliveUntilTheExchangeEnds)
{
    busyTests = 3;
    int ticks = 0;
    int waitShown = 0; // ticks that found the waiting report in the status bar
    QTimer other;
    QObject::connect(&other, &QTimer::timeout, [&] {
        ++ticks;
        waitShown += main->StatusBar1->PanelText(1).startsWith("正在等待短信网关");
        main->StatusBar1->SetPanelText(1, "a dispatch report"); // replaced again at the next step
    });
    other.start(1);
    boxes.ok(); // the exit question
    EXPECT_TRUE(main->close());
    EXPECT_EQ(idleTests, 4);
    EXPECT_EQ(closingSet, 1);
    EXPECT_GE(ticks, 3); // timers went on while the window waited
    EXPECT_GE(waitShown, 2);
    EXPECT_EQ(boxes.seen().size(), 1u);
}

TEST_F(Shutdown, AnEngineThatNeverGoesIdleLetsTheOperatorQuitAfterTheLimit)
{
    busyTests = 1000000;
    main->ShutdownLimitMs = 0; // the limit is reached at the first busy test
    boxes.ok();                // the exit question
    boxes.cancel();            // keep waiting
    boxes.ok();                // quit anyway
    QSignalSpy closed(main, &TMainFrm::Closed);
    EXPECT_TRUE(main->close());
    EXPECT_EQ(closed.count(), 1);
    ASSERT_EQ(boxes.seen().size(), 3u);
    EXPECT_EQ(boxes.seen()[1].caption, "退出程序");
    EXPECT_EQ(boxes.seen()[1].kind, boxes::Kind::Confirm);
    EXPECT_EQ(boxes.seen()[1].text, boxes.seen()[2].text);
    EXPECT_EQ(idleTests, 2);
}

TEST_F(Shutdown, ASecondCloseWhileWaitingIsIgnored)
{
    busyTests = 2;
    boxes.ok(); // the exit question, asked once
    QTimer::singleShot(0, [&] { main->close(); });
    EXPECT_TRUE(main->close());
    EXPECT_EQ(boxes.seen().size(), 1u); // asked once
    EXPECT_EQ(closingSet, 1);
}

} // namespace
