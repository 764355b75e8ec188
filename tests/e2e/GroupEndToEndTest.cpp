// A contact group made in the real program's new-group dialog, opened from
// the contacts window's tree popup, gets its node under "组", and the
// shut-down writes that node to the tree file.
#include "DeskRun.h"

#include "codec/Gbk.h"

#include <gtest/gtest.h>

TEST(GroupEndToEnd, AGroupMadeInTheDialogGetsItsNodeInTheTreeFile)
{
    DeskRun run;
    DESK_RUN_READY(run);
    run.dir.write("TreeView.Txt", gbk::fromUtf8("联系人\r\n组\r\n\t手机电话本\r\n"));
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.login());
    const std::string main = "澜星信使V1.1 - [联系人和组管理]";
    ASSERT_TRUE(run.x.waitForWindow(main));

    // The tree has the focus: "组" brings the group list, and the first item
    // of the tree's popup (the menu key) is New.
    ASSERT_TRUE(run.x.keys(main, "Down Menu"));
    ASSERT_TRUE(run.x.menuKeys("Down Return"));
    // The name, the description, then "创建", next in the tab order; once it
    // is disabled again the focus moves on to "关闭".
    ASSERT_TRUE(run.x.keys("新建组", "f r i e n d s Tab Tab space"));
    EXPECT_TRUE(eventually([] { return column("select * from cgroup", "GROUPNAME").size() == 2; }));
    ASSERT_TRUE(run.x.keys("新建组", "space"));
    EXPECT_EQ(column("select * from cgroup order by rowid", "GROUPNAME"),
              (std::vector<std::string>{"手机电话本", "friends"}));
    EXPECT_EQ(column("select * from operlog", "Action"), std::vector<std::string>{"增加组friends"});

    ASSERT_TRUE(run.quit());
    EXPECT_EQ(run.dir.read("TreeView.Txt"), gbk::fromUtf8("联系人\r\n组\r\n\t手机电话本\r\n\tfriends\r\n"));
}
