// The real program on a 1024x768 screen under a window manager that draws
// title bars: every window and dialog that the menus reach opens with its
// frame inside the screen, and so does every button it shows; the two
// windows of the start leave each other's title bar in sight.
#include "DeskRun.h"

#include "codec/Gbk.h"

#include <QThread>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>

namespace {

const int Width = 1024, Height = 768;
const std::string Main = "澜星信使V1.1";
const std::string Contacts = Main + " - [联系人和组管理]";

// Once the window whose title starts with title is up and has settled
// (within a few seconds): every window frame, as the X server draws it,
// and every button shown that does not lie wholly inside the screen, a
// frame without a title bar, each of the buttons needed not shown, and the
// window's frame off the screen's centre if it is to be centred.
std::vector<std::string> outside(const DeskRun &run, const std::string &title,
                                 const std::vector<std::string> &needed = {}, bool centred = false)
{
    std::vector<std::string> out;
    const auto check = [&out](const std::string &what, int x, int y, int width, int height) {
        if (x < 0 || y < 0 || x + width > Width || y + height > Height)
            out.push_back(what + " at " + std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(width) +
                          "x" + std::to_string(height));
    };
    eventually(
        [&] {
            out = {"no window " + title};
            const std::vector<DeskRun::Shown> shown = run.shownWith(title);
            if (shown.empty())
                return true;
            out.clear();
            for (const XDisplay::Frame &f : run.x.frames()) {
                if (f.titleBar <= 0)
                    out.push_back("no title bar on \"" + f.title + "\"");
                check("frame \"" + f.title + "\"", f.x, f.y, f.width, f.height);
                // A few pixels off: the frame is guessed from other windows' until drawn.
                if (centred && f.title.rfind(title, 0) == 0 &&
                    (std::abs(2 * f.x + f.width - Width) > 8 || std::abs(2 * f.y + f.height - Height) > 8))
                    out.push_back("frame \"" + f.title + "\" off centre at " + std::to_string(f.x) + "," +
                                  std::to_string(f.y));
            }
            for (const DeskRun::Shown &s : shown)
                if (s.kind == "button")
                    check("button " + s.path + " \"" + s.text + "\"", s.at.x, s.at.y, s.at.width, s.at.height);
            for (const std::string &button : needed)
                if (std::none_of(shown.begin(), shown.end(),
                                 [&](const DeskRun::Shown &s) { return s.kind == "button" && s.text == button; }))
                    out.push_back("no button \"" + button + "\"");
            return out.empty();
        },
        5000);
    return out;
}

// Once settled (within a few seconds): each frame's title bar that a frame
// stacked above it covers.
std::vector<std::string> coveredTitleBars(const DeskRun &run)
{
    std::vector<std::string> out;
    eventually(
        [&] {
            out.clear();
            const std::vector<XDisplay::Frame> frames = run.x.frames(); // the top-most last
            for (size_t low = 0; low < frames.size(); ++low)
                for (size_t high = low + 1; high < frames.size(); ++high) {
                    const XDisplay::Frame &a = frames[low], &b = frames[high];
                    if (a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.titleBar)
                        out.push_back("\"" + a.title + "\" under \"" + b.title + "\"");
                }
            return out.empty();
        },
        5000);
    return out;
}

// The main menu: Alt highlights its first shown item, "联系人管理".
bool menu(const DeskRun &run, const std::string &keys)
{
    if (!run.x.keys(Main, "alt"))
        return false;
    QThread::msleep(500);
    return run.x.keys(Main, keys + " Return");
}

// Tabs in the window until the probe reports the focus on the widget whose
// "parent/name" ends with name.
bool tabTo(const DeskRun &run, const std::string &window, const std::string &name)
{
    for (int press = 0; press < 40; ++press) {
        std::string focused;
        int x = 0, y = 0;
        if (run.focused(focused, x, y) && focused.size() >= name.size() &&
            focused.compare(focused.size() - name.size(), std::string::npos, name) == 0)
            return true;
        if (!run.x.keys(window, "Tab"))
            return false;
        QThread::msleep(300);
    }
    return false;
}

} // namespace

TEST(SmallScreenJourney, EveryWindowAndDialogOfTheMenusOpensInsideTheScreen)
{
    DeskRun run({}, std::to_string(Width) + "x" + std::to_string(Height) + "x24", true);
    DESK_RUN_READY(run);
    run.dir.write("TreeView.Txt", gbk::fromUtf8("联系人\r\n组\r\n\t手机电话本\r\n\t同事\r\n"));
    {
        Db db;
        db.append("client", {{"CLIENTID", "张三"}, {"CONTACT", "13800000001"}, {"birthday", "1990-05-06 00:00:00"}});
        db.append("cgroup", {{"GROUPNAME", "同事"}});
        db.append("client_cgroup", {{"CLIENTID", "张三"}, {"GROUPNAME", "同事"}});
        db.append("sms_toread",
                  {{"PHONE", "13800000001"}, {"MESSAGE", "你好 "}, {"TIME", "2024-5-6 8:00:00"}, {"READFLAG", "未读"}});
        db.append("task", {{"TASKID", "T1"},
                           {"TASKNAME", "提醒"},
                           {"MESSAGE", "开会"},
                           {"EXETIME", "2099-01-01 08:00:00"},
                           {"STATE", "未执行"}});
    }
    ASSERT_TRUE(run.start());
    EXPECT_EQ(outside(run, "登录窗口"), std::vector<std::string>{});
    ASSERT_TRUE(run.login());
    ASSERT_TRUE(run.x.waitForWindow(Contacts));
    EXPECT_EQ(outside(run, "澜星信使网关"), std::vector<std::string>{});
    EXPECT_EQ(coveredTitleBars(run), std::vector<std::string>{});

    const auto click = [&run](const std::string &kind, const std::string &name, const std::string &text = {}) {
        return [=, &run] { return run.click(kind, name, text); };
    };
    const auto keys = [&run](const std::string &title, const std::string &keys) {
        return [=, &run] { return run.x.keys(title, keys); };
    };
    const auto choose = [&run](const std::string &kind, const std::string &name, const std::string &item,
                               const std::string &keys) {
        return [=, &run] { return run.choose(kind, name, item, keys); };
    };
    const auto already = [] { return true; }; // the window is up
    const std::function<bool()> stay;         // the window stays open
    // Each window as open brings it up; checked, with the buttons it must
    // show and whether it is centred, it goes as close makes it.
    const struct {
        std::string title;
        std::function<bool()> open, close;
        std::vector<std::string> buttons = {};
        bool centred = false;
    } windows[] = {
        {Contacts, already, stay},
        {"新联系人", click("button", "SpeedButton12", "新建"), click("button", "Button2", "关闭")},
        {"发送信息",
         [&] {
             return run.click("item", "ListView1/report", "张三") &&
                    run.choose("item", "ListView1/report", "张三", "Down Return");
         },
         click("button", "Button2", "取消")},
        {"请输入网络消息", choose("item", "ListView1/report", "张三", "Down Down Down Down Return"),
         keys("请输入网络消息", "Escape")},
        {"删除联系人", click("button", "SpeedButton11", "删除"), keys("删除联系人", "Escape")},
        {"编辑联系人", click("button", "SpeedButton10", "编辑"), stay, {"确定", "取消"}},
        // The photo's picture dialog, from the editor's page "其他".
        {"打开",
         [&] {
             return tabTo(run, "编辑联系人", "qt_tabwidget_tabbar") && run.x.keys("编辑联系人", "Right Right Right") &&
                    run.choose("popup", "DBImage1", "", "Down Return");
         },
         [&] {
             return run.x.keys("打开", "Escape") && run.x.waitUntilGone("打开") &&
                    run.click("button", "Button4", "取消") && run.x.waitUntilGone("编辑联系人");
         }},
        {"阅读短信",
         [&] {
             return run.click("item", "TreeView2", "未读短信") &&
                    run.click("item", "ListView3/report", "13800000001", 1, 2);
         },
         click("button", "Button2", "取消")},
        {"新建组", [&] { return run.click("item", "TreeView1", "组") && run.click("button", "SpeedButton12", "新建"); },
         click("button", "Button2", "关闭")},
        {"编辑组",
         [&] { return run.click("item", "ListView2/report", "同事") && run.click("button", "SpeedButton10", "编辑"); },
         click("button", "Button2", "取消")},
        {Main + " - [任务管理]", [&] { return menu(run, "Right"); }, stay},
        {"新任务", click("button", "SpeedButton12"), keys("新任务", "Escape")},
        {"编辑任务",
         [&] { return run.click("item", "ListView1/report", "T1") && run.click("button", "SpeedButton10"); },
         keys("编辑任务", "Escape")},
        {"签名设置", [&] { return menu(run, "Right Right"); }, keys("签名设置", "Escape")},
        {Main + " - [操作日志管理]", [&] { return menu(run, "Right Right Right"); }, stay},
        {"关于澜星信使",
         [&] { return menu(run, "Left"); },
         [&] { return run.x.requestClose("关于澜星信使"); },
         {},
         true},
        {"退出程序", [&] { return run.x.requestClose(Main); }, keys("退出程序", "Return")},
    };
    for (const auto &w : windows) {
        ASSERT_TRUE(w.open()) << w.title;
        ASSERT_TRUE(run.x.waitForWindow(w.title)) << w.title;
        EXPECT_EQ(outside(run, w.title, w.buttons, w.centred), std::vector<std::string>{}) << w.title;
        if (w.close) {
            ASSERT_TRUE(w.close()) << w.title;
            ASSERT_TRUE(run.x.waitUntilGone(w.title)) << w.title;
        }
    }
    EXPECT_TRUE(run.desk.waitForFinished(60000));
}
