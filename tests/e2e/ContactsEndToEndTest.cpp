// The contacts window in the real program, driven by the keyboard: it opens
// on every contact at the first activation, a group node lists its members,
// and the shut-down writes the group tree back to its file.
#include "DeskRun.h"

#include "codec/Gbk.h"

#include <gtest/gtest.h>

TEST(ContactsEndToEnd, OpensOnEveryContactAGroupNodeListsItsMembersAndTheTreeIsWrittenAtShutDown)
{
    DeskRun run;
    DESK_RUN_READY(run);
    // LF endings and a blank for a level: read as the file's rules say, then
    // written back in the file's own form.
    run.dir.write("TreeView.Txt", gbk::fromUtf8("联系人\n组\n 手机电话本\n 同事\n"));
    {
        Db db;
        db.append("client", {{"CLIENTID", "张三"}, {"CONTACT", "13800000001"}});
        db.append("client", {{"CLIENTID", "李四"}, {"CONTACT", "13800000002"}});
        db.append("cgroup", {{"GROUPNAME", "同事"}});
        db.append("client_cgroup", {{"CLIENTID", "李四"}, {"GROUPNAME", "同事"}});
        db.append("client_cgroup", {{"CLIENTID", "张三"}, {"GROUPNAME", "同事"}});
    }
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.login());
    const std::string main = "澜星信使V1.1 - [联系人和组管理]";
    ASSERT_TRUE(run.x.waitForWindow(main));

    // The tree has the focus, on "联系人": the list's first row is the first
    // contact in key order ("李四" before "张三"); deleting it asks about it.
    ASSERT_TRUE(run.x.keys(main, "Tab End Home Delete"));
    ASSERT_TRUE(run.x.keys("删除联系人", "Return"));
    EXPECT_TRUE(
        eventually([] { return column("select * from client", "CLIENTID") == std::vector<std::string>{"张三"}; }));
    EXPECT_EQ(column("select * from operlog", "Action"), std::vector<std::string>{"删除联系人 李四"});

    // The group node "同事" lists its two member rows in the order stored;
    // Delete there takes the first out of the group.
    ASSERT_TRUE(run.x.keys(main, "shift+Tab Down Right Down Down Tab End Home Delete"));
    ASSERT_TRUE(run.x.keys("从组中去除联系人", "Return"));
    EXPECT_TRUE(eventually(
        [] { return column("select * from client_cgroup", "CLIENTID") == std::vector<std::string>{"张三"}; }));

    ASSERT_TRUE(run.quit());
    EXPECT_EQ(run.dir.read("TreeView.Txt"), gbk::fromUtf8("联系人\r\n组\r\n\t手机电话本\r\n\t同事\r\n"));
}
