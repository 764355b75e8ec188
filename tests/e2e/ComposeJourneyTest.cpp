// The real smsdesk program on a virtual display: the operator picks a
// contact in the contacts window, chooses "发送短消息" from the list's popup
// and types a message of 200 Chinese characters; every piece reaches the
// modem with the signature, in order, and the pieces give the message.
#include "DeskRun.h"

#include <QString>
#include <gtest/gtest.h>

TEST(ComposeJourney, A200CharacterChineseMessageReachesTheModemInPiecesEachSigned)
{
    DeskRun run;
    DESK_RUN_READY(run);
    {
        Db db;
        db.q.SetSQL("update param set paramval='澜星' where paramid='QM'");
        db.q.ExecSQL();
        db.append("client", {{"CLIENTID", "张三"}, {"CONTACT", "13800000001"}});
        db.append("client", {{"CLIENTID", "李四"}, {"CONTACT", "13800000002"}});
    }
    // 200 different-looking characters, all of them in GBK.
    QString message;
    for (int i = 0; i < 200; ++i)
        message += QChar(char16_t(0x4E00 + (i * 97) % 0x51A0));
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.login());
    const std::string main = "澜星信使V1.1 - [联系人和组管理]";
    ASSERT_TRUE(run.x.waitForWindow(main));

    // The contact chosen with the mouse, the popup's first item with keys.
    ASSERT_TRUE(run.click("item", "ListView1/report", "张三"));
    ASSERT_TRUE(run.choose("item", "ListView1/report", "张三", "Down Return"));
    ASSERT_TRUE(run.x.waitForWindow("发送信息"));
    ASSERT_TRUE(run.x.type("发送信息", message.toStdString()));
    ASSERT_TRUE(run.click("button", "Button1", "确定"));

    const std::vector<std::string> pieces = {message.left(70).toStdString(), message.mid(70, 70).toStdString(),
                                             message.mid(140).toStdString()};
    EXPECT_TRUE(
        eventually([] { return column("select * from sms_tosend where phone='13800000001'", "MESSAGE").size() == 3; }));
    EXPECT_EQ(column("select * from sms_tosend where phone='13800000001'", "MESSAGE"), pieces);
    const std::string signedPieces = pieces[0] + "[澜星]" + pieces[1] + "[澜星]" + pieces[2] + "[澜星]";
    std::string delivered;
    EXPECT_TRUE(eventually([&] {
        delivered.clear();
        for (const auto &[da, text] : sentMessages(run.sim))
            if (da == "+8613800000001")
                delivered += text;
        return delivered.size() >= signedPieces.size();
    }));
    EXPECT_EQ(delivered, signedPieces);
    EXPECT_TRUE(run.quit());
}
