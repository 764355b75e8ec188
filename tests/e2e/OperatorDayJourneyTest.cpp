// An operator's day in the real smsdesk program on a virtual display, with
// the modem simulator in place of the modem: log in; make a group and a
// contact in it; write to the contact; the contact answers; the answer is
// read (it is then "已读") and replied to; the contact is dialled; the SIM
// phone book is imported; the desk closes cleanly.
#include "DeskRun.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

const std::string Main = "澜星信使V1.1 - [联系人和组管理]";

bool sentTo(const ModemSim &sim, const std::string &da, const std::string &text)
{
    return eventually([&] { return wasSent(sim, da, text); });
}

} // namespace

TEST(OperatorDayJourney, FromLoginToShutDown)
{
    DeskRun run({"contact 1 13900000001 王小明\ncontact 2 13900000002 李小红\n"});
    DESK_RUN_READY(run);
    {
        Db db;
        db.q.SetSQL("update param set paramval='' where paramid='QM'");
        db.q.ExecSQL();
    }
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.login());
    ASSERT_TRUE(run.x.waitForWindow(Main));

    // A group: "新增用户" of the tree popup on "组" opens the new-group dialog.
    ASSERT_TRUE(run.click("item", "TreeView1", "组"));
    ASSERT_TRUE(run.choose("item", "TreeView1", "组", "Down Return"));
    ASSERT_TRUE(run.x.type("新建组", "客户"));
    ASSERT_TRUE(run.click("button", "Button1", "创建"));
    EXPECT_TRUE(
        eventually([] { return column("select * from cgroup where groupname='客户'", "GROUPNAME").size() == 1; }));
    ASSERT_TRUE(run.click("button", "Button2", "关闭"));

    // A contact in it: "新建" on the group's node presets the group.
    ASSERT_TRUE(run.x.keys(Main, "plus"));
    ASSERT_TRUE(run.click("item", "TreeView1", "客户"));
    ASSERT_TRUE(run.click("button", "SpeedButton12", "新建"));
    ASSERT_TRUE(run.x.type("新联系人", "张三"));
    ASSERT_TRUE(run.x.keys("新联系人", "Return"));
    ASSERT_TRUE(run.x.type("新联系人", "13800000001"));
    ASSERT_TRUE(run.click("button", "Button1", "创建"));
    EXPECT_TRUE(eventually([] {
        return column("select * from client_cgroup where groupname='客户'", "CLIENTID") ==
               std::vector<std::string>{"张三"};
    }));
    ASSERT_TRUE(run.click("button", "Button2", "关闭"));
    EXPECT_EQ(column("select * from client where clientid='张三'", "CONTACT"), std::vector<std::string>{"13800000001"});

    // A message to the contact, from the contacts list's popup.
    ASSERT_TRUE(run.click("item", "ListView1/report", "张三"));
    ASSERT_TRUE(run.choose("item", "ListView1/report", "张三", "Down Return")); // "发送短消息"
    ASSERT_TRUE(run.x.type("发送信息", "明天上午开会"));
    ASSERT_TRUE(run.click("button", "Button1", "确定"));
    EXPECT_TRUE(sentTo(run.sim, "+8613800000001", "明天上午开会"));

    // The contact answers; the answer is among the unread messages.
    ASSERT_EQ(run.sim.control("text 13800000001 收到，准时到").rfind("OK", 0), 0u);
    ASSERT_TRUE(eventually([] {
        return column("select * from sms_toread where phone='13800000001'", "READFLAG") ==
               std::vector<std::string>{"未读"};
    }));
    ASSERT_TRUE(run.click("item", "TreeView2", "未读短信"));
    ASSERT_TRUE(run.find("item", "ListView3/report", "13800000001").has_value());

    // Opened, it is read; the reply reaches the modem.
    ASSERT_TRUE(run.click("item", "ListView3/report", "13800000001", 1, 2));
    ASSERT_TRUE(run.x.waitForWindow("阅读短信"));
    EXPECT_TRUE(eventually([] {
        return column("select * from sms_toread where phone='13800000001'", "READFLAG") ==
               std::vector<std::string>{"已读"};
    }));
    ASSERT_TRUE(run.click("button", "Button3", "回复"));
    ASSERT_TRUE(run.click("button", "Button3", "发送"));
    EXPECT_TRUE(sentTo(run.sim, "+8613800000001", "[Re:收到，准时到 ]"));

    // The contact dialled: a click on the group tree uncovers the contacts.
    ASSERT_TRUE(run.click("item", "TreeView1", "联系人"));
    ASSERT_TRUE(run.choose("item", "ListView1/report", "张三", "Down Down Return")); // "呼叫手机"
    EXPECT_TRUE(run.sim.waitFor(
        [&] {
            const auto commands = run.sim.commands();
            return std::find(commands.begin(), commands.end(), "ATDT13800000001;") != commands.end();
        },
        20000));

    // The SIM phone book imported into "手机电话本".
    ASSERT_TRUE(run.choose("item", "TreeView1", "联系人", "Down Down Down Return")); // "读入手机电话本"
    EXPECT_TRUE(eventually([] {
        return column("select * from client_cgroup where groupname='手机电话本' order by clientid", "CLIENTID") ==
               std::vector<std::string>{"MB_李小红", "MB_王小明"};
    }));
    ASSERT_TRUE(run.click("item", "TreeView1", "组"));
    ASSERT_TRUE(run.x.keys(Main, "Right"));
    ASSERT_TRUE(run.click("item", "TreeView1", "手机电话本"));
    EXPECT_TRUE(run.find("item", "ListView1/report", "MB_王小明").has_value());
    EXPECT_TRUE(run.find("item", "ListView1/report", "MB_李小红").has_value());

    EXPECT_TRUE(run.quit());
}
