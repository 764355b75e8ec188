// The real smsdesk program, run on a virtual display against the modem
// simulator in a fresh work folder: the operator logs in; queued rows, a
// due task and an incoming SMS go their whole way; closing waits for the
// send in progress. Real time throughout (the program takes no settings).
#include "DeskRun.h"

#include "codec/Gbk.h"

#include <QDateTime>
#include <QHostAddress>
#include <QTcpSocket>
#include <gtest/gtest.h>

TEST(DeskEndToEnd, LoginDispatchTaskReceiveAndCloseDuringASend)
{
    DeskRun run;
    DESK_RUN_READY(run);
    ModemSim &sim = run.sim;

    const std::string due = QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss").toStdString();
    {
        Db db;
        db.q.SetSQL("select * from  param where paramid='QM'");
        db.q.Open();
        db.q.Edit();
        db.q.FieldByName("paramval")->SetAsString("澜星");
        db.q.Post();
        db.q.Close();
        db.append("sms_tosend",
                  {{"TASKID", "t0"}, {"PHONE", "13912345678"}, {"MESSAGE", "你好，世界"}, {"SENDFLAG", "未发"}});
        db.append("client", {{"CLIENTID", "张三"}, {"CONTACT", "13800000001"}});
        db.append("client", {{"CLIENTID", "李四"}, {"CONTACT", "13800000002"}});
        db.append("cgroup", {{"GROUPNAME", "同事"}});
        db.append("client_cgroup", {{"CLIENTID", "张三"}, {"GROUPNAME", "同事"}});
        db.append("client_cgroup", {{"CLIENTID", "李四"}, {"GROUPNAME", "同事"}});
        db.append("task",
                  {{"TASKID", "T1"}, {"TASKNAME", "通知"}, {"MESSAGE", "开会"}, {"EXETIME", due}, {"STATE", "未执行"}});
        db.append("task_client", {{"TASKID", "T1"}, {"CLIENTID", "张三"}});
        db.append("task_cgroup", {{"TASKID", "T1"}, {"GROUPNAME", "同事"}});
    }

    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.login());

    // A queued row reaches the modem with the signature, to "86" + number.
    EXPECT_TRUE(eventually([&] { return wasSent(sim, "+8613912345678", "你好，世界[澜星]"); }));
    EXPECT_EQ(column("select * from sms_tosend where taskid='t0'", "SENDFLAG"), std::vector<std::string>{"已发"});

    // The due task: its named contact first, then its group's members,
    // duplicates kept; the task is marked.
    EXPECT_TRUE(eventually(
        [&] { return column("select * from task where taskid='T1'", "STATE") == std::vector<std::string>{"已执行"}; }));
    EXPECT_TRUE(eventually([&] { return column("select * from sms_tosend where taskid='T1'", "PHONE").size() == 3; }));
    EXPECT_EQ(column("select * from sms_tosend where taskid='T1'", "PHONE"),
              (std::vector<std::string>{"13800000001", "13800000001", "13800000002"}));
    EXPECT_TRUE(eventually([&] { return wasSent(sim, "+8613800000002", "开会[澜星]"); }));

    // An incoming SMS ("你好" from +8613513254678) lands in sms_toread.
    ASSERT_EQ(sim.control("sms 0891683108200105F0040D91683115234576F8000821503041709023044F60597D").rfind("OK", 0), 0u);
    EXPECT_TRUE(eventually(
        [&] { return column("select * from sms_toread", "PHONE") == std::vector<std::string>{"13513254678"}; }));
    EXPECT_EQ(column("select * from sms_toread", "MESSAGE"), std::vector<std::string>{"你好 "});
    EXPECT_EQ(column("select * from sms_toread", "READFLAG"), std::vector<std::string>{"未读"});

    // Closing while a send waits for its result: the program stays until
    // the exchange has ended, then writes an empty send queue.
    ASSERT_TRUE(eventually([&] { return sentMessages(sim).size() >= 4; }));
    ASSERT_EQ(sim.control("hold"), "OK");
    // This one comes over the command port, so it carries no signature.
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, 4096);
    ASSERT_TRUE(client.waitForConnected(5000));
    client.write(gbk::fromUtf8("DavoRodu:SEND SCA: DA:13700000000 UD:最后一条").c_str());
    ASSERT_TRUE(client.waitForBytesWritten(5000));
    ASSERT_TRUE(sim.waitForLog("result held", 60000));
    ASSERT_TRUE(run.x.requestClose("澜星信使V1.1"));
    ASSERT_TRUE(run.x.keys("退出程序", "Return"));
    EXPECT_FALSE(run.desk.waitForFinished(3000)) << "the desk quit during a send";
    ASSERT_EQ(sim.control("release"), "OK");
    ASSERT_TRUE(run.desk.waitForFinished(60000));
    EXPECT_EQ(run.desk.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.desk.exitCode(), 0);
    EXPECT_TRUE(wasSent(sim, "+8613700000000", "最后一条"));
    EXPECT_EQ(run.dir.read("SendBuf.TXT"), "");
}
