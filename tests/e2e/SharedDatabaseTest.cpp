// The real desk while another program holds a write lock on its database,
// with rows queued, a task due, SENDs coming to the command port and SMS
// coming in: the port answers throughout, the modem is never let go, and
// once the lock ends every message goes once and every SMS is stored once.
#include "DeskRun.h"

#include <QDateTime>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <utility>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// One blocking connection to the command port.
int connectToDesk()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(4096);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

// QUERY every 100 ms on a connection of its own, from a thread of the test;
// the milliseconds each answer took, -1 for one that never came.
class QueryProbe {
public:
    QueryProbe() : thread_([this](std::stop_token stop) { run(stop); }) {}
    std::vector<long> stop()
    {
        thread_.request_stop();
        thread_.join();
        return latencies_;
    }

private:
    void run(std::stop_token stop)
    {
        const int fd = connectToDesk();
        for (auto next = Clock::now(); !stop.stop_requested(); std::this_thread::sleep_until(next)) {
            next += std::chrono::milliseconds(100);
            const auto asked = Clock::now();
            pollfd answer{fd, POLLIN, 0};
            char reply[32];
            const bool got = fd >= 0 && ::write(fd, "DavoRodu:QUERY", 14) == 14 && ::poll(&answer, 1, 5000) == 1 &&
                             ::read(fd, reply, sizeof reply) > 0;
            latencies_.push_back(
                got ? std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - asked).count() : -1);
        }
        if (fd >= 0)
            ::close(fd);
    }

    std::vector<long> latencies_;
    std::jthread thread_;
};

void send(const std::string &da, const std::string &text)
{
    const int fd = connectToDesk();
    ASSERT_GE(fd, 0);
    const std::string command = "DavoRodu:SEND SCA: DA:" + da + " UD:" + text;
    EXPECT_EQ(::write(fd, command.data(), command.size()), static_cast<ssize_t>(command.size()));
    ::close(fd);
}

void underALock(int seconds)
{
    DeskRun run;
    DESK_RUN_READY(run);
    ASSERT_TRUE(run.start());
    ASSERT_TRUE(run.login());
    // Set up, and the modem's storages swept.
    ASSERT_TRUE(eventually([&] { return run.sim.commandsStarting("AT+CPMS").size() >= 2; }, 30000)) << run.sim.log();
    const int opened = run.sim.logCount("terminal opened");

    Db other;
    for (const auto &[id, mobile] : {std::pair{"甲", "13900000011"}, std::pair{"乙", "13900000012"}}) {
        other.append("client", {{"CLIENTID", id}, {"CONTACT", mobile}});
        other.append("task_client", {{"TASKID", "到期"}, {"CLIENTID", id}});
    }
    other.append("task", {{"TASKID", "到期"},
                          {"MESSAGE", "任务消息"},
                          {"EXETIME", QDateTime::currentDateTime().addSecs(-5).toString(Qt::ISODate).toStdString()},
                          {"STATE", "未执行"}});
    for (const char *m : {"row0", "row1", "row2"})
        other.append("sms_tosend", {{"TASKID", ""}, {"PHONE", "13900000020"}, {"MESSAGE", m}, {"SENDFLAG", "未发"}});
    other.conn.BeginTrans();
    other.conn.Execute("insert into operlog (WORKCODE) values ('other')");

    QueryProbe probe;
    send("13700000001", "send1");
    ASSERT_EQ(run.sim.control("text 13800000031 锁住时来的一").rfind("OK", 0), 0u);
    QThread::sleep(static_cast<unsigned long>(seconds / 2));
    send("13700000002", "send2");
    ASSERT_EQ(run.sim.control("text 13800000032 锁住时来的二").rfind("OK", 0), 0u);
    QThread::sleep(static_cast<unsigned long>(seconds - seconds / 2));
    other.conn.RollbackTrans();
    const std::vector<long> latencies = probe.stop();

    const std::vector<std::string> texts = {"row0", "row1", "row2", "任务消息", "任务消息", "send1", "send2"};
    auto sentTexts = [&] {
        std::vector<std::string> out;
        for (const auto &[da, text] : sentMessages(run.sim))
            out.push_back(text);
        std::sort(out.begin(), out.end());
        return out;
    };
    std::vector<std::string> expected = texts;
    std::sort(expected.begin(), expected.end());
    EXPECT_TRUE(eventually([&] { return sentTexts().size() >= expected.size(); })) << run.sim.log();
    auto stored = [] { return column("select * from sms_toread where PHONE like '1380000003_'", "MESSAGE"); };
    EXPECT_TRUE(eventually([&] { return stored().size() >= 2; }));
    EXPECT_TRUE(
        eventually([&] { return column("select * from sms_tosend where SENDFLAG='未发'", "MESSAGE").empty(); }));
    EXPECT_TRUE(run.quit());
    EXPECT_EQ(sentTexts(), expected);
    EXPECT_EQ(stored().size(), 2u);
    EXPECT_EQ(run.sim.logCount("terminal opened"), opened) << "the port was opened again";

    // The command port answered every probe, nearly all at once.
    ASSERT_GE(latencies.size(), static_cast<std::size_t>(seconds * 8));
    std::vector<long> sorted = latencies;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_GE(sorted.front(), 0) << "a QUERY went unanswered";
    EXPECT_LE(sorted[sorted.size() * 99 / 100], 100);
    EXPECT_LT(sorted.back(), 1000);
    std::printf("QUERY under a %d s lock: %zu probes, median %ld ms, longest %ld ms\n", seconds, sorted.size(),
                sorted[sorted.size() / 2], sorted.back());
}

} // namespace

TEST(SharedDatabase, ATenSecondLockStallsNothing) { underALock(10); }

TEST(SharedDatabase, AMinuteLongLockKeepsTheModemAndTheCommandPort) { underALock(60); }
