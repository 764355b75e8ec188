// Operators made and removed in the operator manager, as the supervisor
// opens it from the main window, decide who may log in to the real smsdesk
// program started afresh on the same work folder.
#include "DeskRun.h"

#include "desk/Login.h"
#include "desk/OperDialogs.h"
#include "desk/Operman.h"
#include "desk/Startup.h"
#include "desk/main.h"
#include "harness/BoxScript.h"
#include "harness/ModalDriver.h"

#include <QLineEdit>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

// In this process (offscreen): the supervisor logs in, opens the manager as
// the hidden menu item does, creates two operators and deletes the second.
void manageOperators()
{
    BoxScript boxes;
    ModalDriver modal;
    modal.then<TfrmLogin>([](TfrmLogin *d) { d->Button1Click(); });
    desk::TDeskProcess process; // its end frees what it made
    TMainFrm *main = process.OpenMainWindow();
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(main->LoggedIn());
    main->Timer1->stop();
    main->Timer3->stop();
    main->N1_old_oldClick();
    TOperManage *win = OperManage;
    ASSERT_NE(win, nullptr);
    win->TreeView1->setCurrentItem(win->TreeView1->topLevelItem(0)); // "操作员"

    modal.then<TfrmNewOper>([](TfrmNewOper *d) {
        for (const auto &[code, password] : {std::pair{"zhang3", "s3cret"}, std::pair{"li4", "gone4"}}) {
            d->Edit1->setText(code);
            d->Edit4->setText(password);
            d->Edit5->setText(password);
            d->Button1Click();
        }
        d->Button2Click();
    });
    win->SpeedButton12Click();
    ASSERT_TRUE(modal.done());

    TListView *list = win->ListView(1);
    for (int row = 0; row < list->Count(); ++row)
        if (list->Caption(row) == "li4")
            list->SetSelected(row, true);
    boxes.ok(); // the delete confirmation
    win->SpeedButton11Click();
    EXPECT_EQ(boxes.texts(), QStringList{"操作员删除后不能恢复，您确定要删除操作员 li4 吗？"});
}

TEST(OperatorLoginEndToEnd, AnOperatorMadeInTheManagerLogsInAndADeletedOneDoesNot)
{
    DeskRun run;
    DESK_RUN_READY(run);
    manageOperators();
    if (HasFatalFailure())
        return;
    ASSERT_EQ(column("select * from operater order by workcode", "WORKCODE"),
              (std::vector<std::string>{"Kelvo", "zhang3"}));

    // The deleted operator is refused.
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.x.keys("登录窗口", "ctrl+a l i 4 Tab ctrl+a g o n e 4 Return"));
    EXPECT_TRUE(run.x.waitForWindow("登录失败！"));
    EXPECT_FALSE(run.x.waitForWindow("澜星信使V1.1", 1000));
    run.desk.kill();
    run.desk.waitForFinished();

    // Started afresh, the new operator logs in with the new password.
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.x.keys("登录窗口", "ctrl+a z h a n g 3 Tab ctrl+a s 3 c r e t Return"));
    EXPECT_TRUE(run.x.waitForWindow("澜星信使V1.1"));
    EXPECT_TRUE(run.x.waitForWindow("澜星信使网关"));
    EXPECT_TRUE(run.quit());
}

} // namespace
