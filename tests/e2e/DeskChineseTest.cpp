// The real program speaks Chinese in Qt's own texts too, on a machine whose
// locale is not Chinese (the tests run under C.UTF-8): the standard buttons
// of the exit question read "确定" and "取消".
#include "DeskRun.h"

#include <gtest/gtest.h>

TEST(DeskChinese, StandardButtonsOfABoxAreChinese)
{
    DeskRun run;
    DESK_RUN_READY(run);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.login());
    ASSERT_TRUE(run.quit());

    std::vector<std::string> exitBoxes;
    for (const std::string &line : run.dialogsShown())
        if (line.rfind("退出程序\t", 0) == 0)
            exitBoxes.push_back(line);
    ASSERT_EQ(exitBoxes.size(), 1u);
    EXPECT_TRUE(exitBoxes[0] == "退出程序\t确定\t取消" || exitBoxes[0] == "退出程序\t取消\t确定") << exitBoxes[0];
}
