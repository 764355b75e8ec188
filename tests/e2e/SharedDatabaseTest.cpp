// The real desk while another program holds a write lock on its database,
// with rows queued, a task due, SENDs coming to the command port and SMS
// coming in: the port answers throughout, the modem is never let go, and
// once the lock ends every message goes once and every SMS is stored once.
#include "DeskRun.h"

#include <QDateTime>
#include <QTcpSocket>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

// Sends chunk on a connection of its own; the milliseconds its answer took,
// -1 when none came.
long ask(const std::string &chunk)
{
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, 4096);
    if (!client.waitForConnected(5000))
        return -1;
    const auto asked = std::chrono::steady_clock::now();
    client.write(chunk.data(), static_cast<qint64>(chunk.size()));
    if (!client.waitForReadyRead(5000))
        return -1;
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - asked).count();
}

void underALock(int seconds)
{
    DeskRun run;
    DESK_RUN_READY(run);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.login());
    ASSERT_TRUE(eventually([&] { return run.sim.commandsStarting("AT+CPMS").size() >= 2; }, 30000)) << run.sim.log();
    const int opened = run.sim.logCount("terminal opened");

    Db other;
    other.append("client", {{"CLIENTID", "甲"}, {"CONTACT", "13900000011"}});
    other.append("task_client", {{"TASKID", "到期"}, {"CLIENTID", "甲"}});
    other.append("task", {{"TASKID", "到期"},
                          {"MESSAGE", "task"},
                          {"EXETIME", QDateTime::currentDateTime().addSecs(-5).toString(Qt::ISODate).toStdString()},
                          {"STATE", "未执行"}});
    for (const char *m : {"row0", "row1"})
        other.append("sms_tosend", {{"TASKID", ""}, {"PHONE", "13900000020"}, {"MESSAGE", m}, {"SENDFLAG", "未发"}});
    other.conn.BeginTrans();
    other.conn.Execute("insert into operlog (WORKCODE) values ('other')");

    // A QUERY every 100 ms, and halfway a SEND and an SMS.
    std::vector<long> latencies;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    for (auto next = std::chrono::steady_clock::now(); next < end; std::this_thread::sleep_until(next)) {
        next += std::chrono::milliseconds(100);
        latencies.push_back(ask("DavoRodu:QUERY"));
        if (latencies.size() == static_cast<std::size_t>(seconds * 5)) {
            EXPECT_GE(ask("DavoRodu:SEND SCA: DA:13700000001 UD:send1DavoRodu:QUERY"), 0);
            ASSERT_EQ(run.sim.control("text 13800000031 锁住时来的").rfind("OK", 0), 0u);
        }
    }
    other.conn.RollbackTrans();

    const std::vector<std::string> expected = {"row0", "row1", "send1", "task"};
    auto sent = [&] {
        std::vector<std::string> texts;
        for (const auto &[da, text] : sentMessages(run.sim))
            texts.push_back(text);
        std::sort(texts.begin(), texts.end());
        return texts;
    };
    auto stored = [] { return column("select * from sms_toread where PHONE='13800000031'", "MESSAGE"); };
    EXPECT_TRUE(eventually([&] {
        return sent().size() >= expected.size() && !stored().empty() &&
               column("select * from sms_tosend where SENDFLAG='未发'", "MESSAGE").empty();
    })) << run.sim.log();
    EXPECT_TRUE(run.quit());
    EXPECT_EQ(sent(), expected);
    EXPECT_EQ(stored().size(), 1u);
    EXPECT_EQ(run.sim.logCount("terminal opened"), opened) << "the port was opened again";

    // Every probe answered, nearly all at once.
    std::sort(latencies.begin(), latencies.end());
    EXPECT_GE(latencies.front(), 0) << "a QUERY went unanswered";
    EXPECT_LE(latencies[latencies.size() * 99 / 100], 100);
    EXPECT_LT(latencies.back(), 1000);
    std::printf("QUERY under a %d s lock: median %ld ms, longest %ld ms\n", seconds, latencies[latencies.size() / 2],
                latencies.back());
}

} // namespace

TEST(SharedDatabase, ATenSecondLockStallsNothing) { underALock(10); }

TEST(SharedDatabase, AMinuteLongLockKeepsTheModemAndTheCommandPort) { underALock(60); }
