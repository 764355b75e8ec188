// The real desk killed at each step of handing a row over to the engine:
// right after the row is named in the hand-over journal, and right after
// its message is on disk in "SendBuf.TXT" but before the row is marked. At
// the next start the row goes out exactly once and ends "已发".
#include "DeskRun.h"

#include <gtest/gtest.h>

TEST(HandOverKill, AKillAtEitherStepOfAHandOverSendsTheRowOnce)
{
    for (const char *step : {"HandOver.TXT", "SendBuf.TXT"}) {
        SCOPED_TRACE(step);
        DeskRun run;
        DESK_RUN_READY(run);
        const auto pending = [](const char *phone, const char *message) {
            Db db;
            db.append("sms_tosend", {{"TASKID", "kill"}, {"PHONE", phone}, {"MESSAGE", message}, {"SENDFLAG", "未发"}});
        };
        pending("13900000001", "first");
        ASSERT_TRUE(run.start(step));
        ASSERT_TRUE(run.login());
        ASSERT_TRUE(run.desk.waitForFinished(30000)) << "not killed";
        EXPECT_EQ(run.desk.exitStatus(), QProcess::CrashExit);
        EXPECT_EQ(column("select * from sms_tosend", "SENDFLAG"), std::vector<std::string>{"未发"});

        ASSERT_TRUE(run.start());
        ASSERT_TRUE(run.login());
        // One row a pass, in the table's order: a second copy of the first
        // would go before this one.
        pending("13900000002", "second");
        EXPECT_TRUE(eventually([&] { return wasSent(run.sim, "+8613900000002", "second"); }));
        int copies = 0;
        for (const auto &[da, text] : sentMessages(run.sim))
            copies += text == "first";
        EXPECT_EQ(copies, 1);
        EXPECT_TRUE(eventually([&] {
            return column("select * from sms_tosend", "SENDFLAG") == std::vector<std::string>{"已发", "已发"};
        }));
        EXPECT_TRUE(run.quit());
    }
}
