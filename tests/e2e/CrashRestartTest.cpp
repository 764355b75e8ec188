// The real desk killed with SIGKILL at random instants while it works off
// 100 messages, half queued as sms_tosend rows and half as SENDs on the
// command port, and started again each time: in the end every message has
// reached the modem at least once and none more than twice. The seed of the
// instants is printed; SMS_CRASH_SEED repeats a run (as far as the timing
// of the program allows), SMS_CRASH_KILLS changes the number of kills.
#include "DeskRun.h"

#include "codec/Gbk.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QThread>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <random>

namespace {

constexpr int kEach = 50; // rows, and SENDs
// Each life ends this long after the login, at random: start-up (queue
// load, modem search), dispatch and sends all get hit.
constexpr int kLongestLifeMs = 7000;
// The modem hears something new every few seconds while messages wait, also
// across a restart and a retry; this long without a new message means the
// rest are not coming.
constexpr int kStallMs = 60000;
// The whole wait after the last start, so that a failing run ends well
// before the runner's limit.
constexpr int kLastLifeMs = 150000;

std::string text(char kind, int i) { return std::string(1, kind) + std::to_string(100 + i); }

// Sends every SEND in one write, then a QUERY: its answer means the desk has
// taken them all (commands of a chunk are served in order).
bool sendAll()
{
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, 4096);
    if (!client.waitForConnected(5000))
        return false;
    std::string chunk;
    for (int i = 0; i < kEach; ++i)
        chunk += "DavoRodu:SEND SCA: DA:13700000000 UD:" + text('T', i);
    chunk += "DavoRodu:QUERY";
    client.write(chunk.data(), static_cast<qint64>(chunk.size()));
    return client.waitForBytesWritten(5000) && client.waitForReadyRead(10000);
}

std::string tail(const std::string &s, std::size_t n) { return s.substr(s.size() - std::min(s.size(), n)); }

} // namespace

TEST(CrashRestart, KilledSixTimesEveryMessageGoesOutOnceOrTwice)
{
    DeskRun run;
    DESK_RUN_READY(run);
    const char *given = std::getenv("SMS_CRASH_SEED");
    const unsigned seed = given ? static_cast<unsigned>(std::strtoul(given, nullptr, 10)) : std::random_device{}();
    std::printf("crash seed %u\n", seed);
    std::fflush(stdout);
    std::mt19937 random(seed);
    const char *kills = std::getenv("SMS_CRASH_KILLS");
    const int kKills = kills ? std::atoi(kills) : 6;
    {
        Db db;
        for (int i = 0; i < kEach; ++i)
            db.append("sms_tosend", {{"TASKID", "crash"},
                                     {"PHONE", "139000001" + std::to_string(10 + i)},
                                     {"MESSAGE", text('R', i)},
                                     {"SENDFLAG", "未发"}});
    }

    for (int life = 0; life <= kKills; ++life) {
        ASSERT_TRUE(run.start());
        ASSERT_TRUE(run.login()) << "life " << life;
        if (life == 0) {
            ASSERT_TRUE(sendAll());
        }
        if (life == kKills)
            break;
        QThread::msleep(std::uniform_int_distribution<int>(0, kLongestLifeMs)(random));
        run.desk.kill();
        ASSERT_TRUE(run.desk.waitForFinished(10000));
    }

    std::map<std::string, int> sent;
    const auto count = [&] {
        sent.clear();
        for (const auto &[da, ud] : sentMessages(run.sim))
            ++sent[ud];
        return sent.size();
    };
    QElapsedTimer sinceNew;
    sinceNew.start();
    std::size_t seen = 0;
    eventually(
        [&] {
            const std::size_t n = count();
            if (n != seen)
                sinceNew.restart();
            seen = n;
            return n == 2 * kEach || sinceNew.elapsed() > kStallMs;
        },
        kLastLifeMs);
    const bool all = count() == 2 * kEach;
    EXPECT_TRUE(all) << count() << " of " << 2 * kEach << ", seed " << seed << "; the modem's log ends:\n"
                     << tail(run.sim.log(), 4000) << "\nthe send log ends:\n"
                     << gbk::toUtf8(tail(run.dir.read("SMSLog.TXT"), 2000)) << "\nthe send queue:\n"
                     << run.dir.read("SendBuf.TXT");
    if (all) {
        EXPECT_TRUE(eventually([&] { return run.dir.read("SendBuf.TXT").empty(); }, 20000));
    }
    int duplicates = 0;
    for (char kind : {'R', 'T'})
        for (int i = 0; i < kEach; ++i) {
            const int n = sent[text(kind, i)];
            EXPECT_GE(n, 1) << text(kind, i) << " never went out";
            EXPECT_LE(n, 2) << text(kind, i) << " went out " << n << " times";
            duplicates += n > 1;
        }
    std::printf("%d messages sent twice after %d kills (seed %u)\n", duplicates, kKills, seed);
    EXPECT_TRUE(run.quit());
}
