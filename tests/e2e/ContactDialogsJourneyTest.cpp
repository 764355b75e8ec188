// The real program under Xvfb: the operator creates a contact in a group
// through "新增用户" on the group's node, then opens it with a double click
// in the group's list and changes its number; a connection of the test's
// own reads the rows of client and client_cgroup.
#include "DeskRun.h"

#include "codec/Gbk.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

namespace {

using Rows = std::vector<std::string>;

std::string typed(const std::string &text)
{
    std::string out;
    for (char c : text)
        out += std::string(1, c) + " ";
    return out;
}

int focusChanges(const DeskRun &run)
{
    const std::string lines = run.dir.read("focus.probe");
    return int(std::count(lines.begin(), lines.end(), '\n'));
}

// Presses Tab in the window until the widget named name (the last part of
// the probe's "parent/name") has the focus; each press waits for the
// program to report the focus moving.
bool tabTo(const DeskRun &run, const std::string &window, const std::string &name, int &x, int &y)
{
    for (int press = 0; press < 40; ++press) {
        std::string focused;
        if (run.focused(focused, x, y) && focused.size() > name.size() &&
            focused.compare(focused.size() - name.size() - 1, std::string::npos, "/" + name) == 0)
            return true;
        const int before = focusChanges(run);
        if (!run.x.keys(window, "Tab"))
            return false;
        QElapsedTimer t;
        t.start();
        while (focusChanges(run) == before && t.elapsed() < 3000)
            QThread::msleep(50);
    }
    return false;
}

bool tabTo(const DeskRun &run, const std::string &window, const std::string &name)
{
    int x = 0, y = 0;
    return tabTo(run, window, name, x, y);
}

} // namespace

TEST(ContactDialogsJourney, ANewContactInAGroupIsOpenedByADoubleClickAndGetsANewNumber)
{
    DeskRun run;
    DESK_RUN_READY(run);
    run.dir.write("TreeView.Txt", gbk::fromUtf8("联系人\r\n组\r\n\t手机电话本\r\n\t同事\r\n"));
    {
        Db db;
        db.append("cgroup", {{"GROUPNAME", "同事"}});
    }
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.login());
    const std::string main = "澜星信使V1.1 - [联系人和组管理]";
    ASSERT_TRUE(run.x.waitForWindow(main));

    // The tree has the focus on "联系人": down to "同事", whose popup offers
    // "新增用户" first; the dialog's group box then says "同事".
    ASSERT_TRUE(run.x.keys(main, "Down Right Down Down Menu"));
    ASSERT_TRUE(run.x.menuKeys("Down Return"));
    ASSERT_TRUE(run.x.waitForWindow("新联系人"));
    // Enter walks from the name to the mobile box and on, then creates.
    ASSERT_TRUE(run.x.keys("新联系人", typed("zhaoliu") + "Return " + typed("13900000001") + "Return Return"));
    EXPECT_TRUE(eventually([] { return column("select * from client", "CLIENTID") == Rows{"zhaoliu"}; }));
    ASSERT_TRUE(tabTo(run, "新联系人", "Button2"));
    ASSERT_TRUE(run.x.keys("新联系人", "space")); // "关闭"
    // Keys sent to the main window while the dialog is still up are lost.
    ASSERT_TRUE(run.x.waitUntilGone("新联系人"));
    EXPECT_EQ(column("select * from client where clientid='zhaoliu'", "CONTACT"), Rows{"13900000001"});
    EXPECT_EQ(column("select * from client_cgroup where clientid='zhaoliu'", "GROUPNAME"), Rows{"同事"});

    // The group's list now holds the new member: a double click on it opens
    // the editor, where the number is changed and saved with "确定".
    int x = 0, y = 0;
    ASSERT_TRUE(tabTo(run, main, "report", x, y)) << run.dir.read("focus.probe");
    ASSERT_TRUE(run.x.click(x, y, 1, 2));
    ASSERT_TRUE(run.x.waitForWindow("编辑联系人"));
    ASSERT_TRUE(tabTo(run, "编辑联系人", "Edit3"));
    ASSERT_TRUE(run.x.keys("编辑联系人", "ctrl+a " + typed("13900000002")));
    ASSERT_TRUE(tabTo(run, "编辑联系人", "Button3"));
    ASSERT_TRUE(run.x.keys("编辑联系人", "space"));
    EXPECT_TRUE(eventually(
        [] { return column("select * from client where clientid='zhaoliu'", "CONTACT") == Rows{"13900000002"}; }));
    EXPECT_EQ(column("select * from client", "CLIENTID"), Rows{"zhaoliu"});
    EXPECT_EQ(column("select * from client_cgroup", "CLIENTID"), Rows{"zhaoliu"});
    EXPECT_EQ(column("select * from client_cgroup", "GROUPNAME"), Rows{"同事"});
    EXPECT_EQ(column("select * from operlog", "Action"), Rows{"增加联系人zhaoliu"});
    EXPECT_TRUE(run.quit());
}
