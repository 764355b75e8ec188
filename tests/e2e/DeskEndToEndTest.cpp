// The real smsdesk program, run on a virtual display against the modem
// simulator in a fresh work folder: the operator logs in; queued rows, a
// due task and an incoming SMS go their whole way; closing waits for the
// send in progress. Real time throughout (the program takes no settings).
#include "XDisplay.h"

#include "codec/Gbk.h"
#include "codec/PDUs.h"
#include "data/DM1.h"
#include "data/WorkFolder.h"
#include "platform/text/Profile.h"
#include "support/ColumnValues.h"
#include "support/ModemSim.h"
#include "support/WorkDir.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QProcess>
#include <QTcpSocket>
#include <QThread>
#include <gtest/gtest.h>
#include <memory>

namespace {

// A short-lived connection of the test's own beside the running program.
struct Db {
    TAdoConnection conn{TDataModule1::ConnectionString};
    TAdoQuery q{conn, "test"};
    Db() { conn.Open(); }

    void append(const std::string &table, const ado::FieldTexts &fields) { ado::appendRow(q, table, fields); }
};

// The program writes through its own connection at the same time; a read
// that meets one of its writes is tried again.
std::vector<std::string> column(const std::string &sql, const char *name)
{
    for (int attempt = 0;; ++attempt) {
        try {
            Db db;
            return columnValues(db.q, sql, name);
        } catch (const EDatabaseError &e) {
            if (attempt == 20 || std::string(e.what()).find("locked") == std::string::npos)
                throw;
        }
        QThread::msleep(250);
    }
}

// Polls a condition; a database busy with the program's own writes counts
// as "not yet".
bool eventually(const std::function<bool()> &condition, int timeoutMs = 60000)
{
    QElapsedTimer t;
    t.start();
    for (;;) {
        try {
            if (condition())
                return true;
        } catch (const EDatabaseError &) {
        }
        if (t.elapsed() > timeoutMs)
            return false;
        QThread::msleep(200);
    }
}

// The destination and text of every PDU the modem took, decoded.
std::vector<std::pair<std::string, std::string>> sentMessages(const ModemSim &sim)
{
    std::vector<std::pair<std::string, std::string>> out;
    for (const ModemSim::Pdu &p : sim.pdus()) {
        if (p.outcome != "sent")
            continue;
        TPDUSend pdu;
        pdu.Decode(p.text);
        out.emplace_back(pdu.GetDA(), pdu.GetUD());
    }
    return out;
}

bool wasSent(const ModemSim &sim, const std::string &da, const std::string &text)
{
    for (const auto &m : sentMessages(sim))
        if (m.first == da && m.second == text)
            return true;
    return false;
}

} // namespace

TEST(DeskEndToEnd, LoginDispatchTaskReceiveAndCloseDuringASend)
{
    XDisplay x;
    if (!x.started())
        GTEST_SKIP() << "Xvfb is not available";
    WorkDir dir;
    workfolder::create(".");
    ModemSim sim;
    ASSERT_TRUE(sim.started()) << sim.errorOutput();
    ASSERT_TRUE(profile::writeString("CH1", "COMPORT", sim.port(), "smsset.ini"));

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

    QProcess desk;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", QString::fromStdString(x.name()));
    env.insert("QT_QPA_PLATFORM", "xcb");
    desk.setProcessEnvironment(env);
    desk.setWorkingDirectory(QString::fromStdString(dir.path()));
    desk.setProcessChannelMode(QProcess::ForwardedChannels);
    desk.start(SMSDESK_PATH, {});
    ASSERT_TRUE(desk.waitForStarted());
    struct Killer {
        QProcess &p;
        ~Killer()
        {
            if (p.state() != QProcess::NotRunning) {
                p.kill();
                p.waitForFinished();
            }
        }
    } killer{desk};

    // The boxes are pre-filled with the supervisor's code and password:
    // Enter in the password box logs in.
    ASSERT_TRUE(x.keys("登录窗口", "Tab Return"));
    ASSERT_TRUE(x.waitForWindow("澜星信使V1.1"));
    ASSERT_TRUE(x.waitForWindow("澜星信使网关"));

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
    ASSERT_TRUE(x.requestClose("澜星信使V1.1"));
    ASSERT_TRUE(x.keys("退出程序", "Return"));
    EXPECT_FALSE(desk.waitForFinished(3000)) << "the desk quit during a send";
    ASSERT_EQ(sim.control("release"), "OK");
    ASSERT_TRUE(desk.waitForFinished(60000));
    EXPECT_EQ(desk.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(desk.exitCode(), 0);
    EXPECT_TRUE(wasSent(sim, "+8613700000000", "最后一条"));
    EXPECT_EQ(dir.read("SendBuf.TXT"), "");
}
