// The real desk killed with SIGKILL at random instants and started again
// each time, while it works off 100 messages, half queued as sms_tosend rows
// and half as SENDs on the command port: in the end every message has
// reached the modem at least once and none more than twice; and while the
// modem receives 100 messages: each is stored in sms_toread exactly once and
// none is left in the modem. The seed of the instants is printed;
// SMS_CRASH_SEED repeats a run (as far as the timing of the program allows),
// SMS_CRASH_KILLS changes the number of kills.
#include "DeskRun.h"

#include "codec/Gbk.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <thread>

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

unsigned crashSeed()
{
    const char *given = std::getenv("SMS_CRASH_SEED");
    const unsigned seed = given ? static_cast<unsigned>(std::strtoul(given, nullptr, 10)) : std::random_device{}();
    std::printf("crash seed %u\n", seed);
    std::fflush(stdout);
    return seed;
}

int crashKills(int usual)
{
    const char *kills = std::getenv("SMS_CRASH_KILLS");
    return kills ? std::atoi(kills) : usual;
}

// Starts the desk kills + 1 times, killing it each time but the last a
// random time after its login; first runs once the first login is done.
void liveAndDie(DeskRun &run, int kills, std::mt19937 &random, const std::function<void()> &first = {})
{
    for (int life = 0; life <= kills; ++life) {
        ASSERT_TRUE(run.start());
        ASSERT_TRUE(run.login()) << "life " << life;
        if (life == 0 && first)
            first();
        if (life == kills)
            break;
        QThread::msleep(std::uniform_int_distribution<int>(0, kLongestLifeMs)(random));
        run.desk.kill();
        ASSERT_TRUE(run.desk.waitForFinished(10000));
    }
}

// Waits until done holds, or until progress (a count that changes) stops
// for kStallMs.
void waitWhileProgressing(const std::function<std::size_t()> &progress, const std::function<bool()> &done)
{
    QElapsedTimer sinceNew;
    sinceNew.start();
    std::size_t seen = 0;
    eventually(
        [&] {
            const std::size_t n = progress();
            if (n != seen)
                sinceNew.restart();
            seen = n;
            return done() || sinceNew.elapsed() > kStallMs;
        },
        kLastLifeMs);
}

} // namespace

TEST(CrashRestart, KilledSixTimesEveryMessageGoesOutOnceOrTwice)
{
    DeskRun run;
    DESK_RUN_READY(run);
    const unsigned seed = crashSeed();
    std::mt19937 random(seed);
    const int kKills = crashKills(6);
    {
        Db db;
        for (int i = 0; i < kEach; ++i)
            db.append("sms_tosend", {{"TASKID", "crash"},
                                     {"PHONE", "139000001" + std::to_string(10 + i)},
                                     {"MESSAGE", text('R', i)},
                                     {"SENDFLAG", "未发"}});
    }

    bool sentAll = false;
    liveAndDie(run, kKills, random, [&] { sentAll = sendAll(); });
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(sentAll);

    std::map<std::string, int> sent;
    const auto count = [&] {
        sent.clear();
        for (const auto &[da, ud] : sentMessages(run.sim))
            ++sent[ud];
        return sent.size();
    };
    waitWhileProgressing(count, [&] { return sent.size() == 2 * kEach; });
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

TEST(CrashRestart, KilledFiveTimesEveryReceivedMessageIsStoredOnceAndLeavesTheModem)
{
    constexpr int kReceived = 100;
    DeskRun run(ModemSim::Options{"capacity SM 150\n", 0});
    DESK_RUN_READY(run);
    const unsigned seed = crashSeed();
    std::mt19937 random(seed);
    // Messages come every few tens of milliseconds, while the desk runs and
    // while it is away: some are announced, some found by the sweep.
    std::vector<int> gaps;
    for (int i = 0; i < kReceived; ++i)
        gaps.push_back(std::uniform_int_distribution<int>(0, 300)(random));
    std::atomic<int> delivered{0};
    std::thread modem([&] {
        for (int i = 0; i < kReceived; ++i) {
            QThread::msleep(gaps[i]);
            const std::string number = "1391234" + std::to_string(5000 + i % 7);
            if (run.sim.control("text " + number + " " + text('I', i)).rfind("OK", 0) == 0)
                ++delivered;
        }
    });
    liveAndDie(run, crashKills(5), random);
    modem.join();
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(delivered.load(), kReceived);

    std::map<std::string, int> stored;
    const auto count = [&] {
        stored.clear();
        for (const std::string &m : column("select * from sms_toread", "MESSAGE"))
            ++stored[m];
        return stored.size();
    };
    const auto emptied = [&] { return run.sim.control("show SM") == "OK 0 150"; };
    waitWhileProgressing(count, [&] { return count() == kReceived && emptied(); });
    EXPECT_TRUE(emptied()) << run.sim.control("show SM") << ", seed " << seed << "; the modem's log ends:\n"
                           << tail(run.sim.log(), 4000);
    int duplicates = 0;
    for (int i = 0; i < kReceived; ++i) {
        const int n = stored[text('I', i) + " "];
        EXPECT_EQ(n, 1) << text('I', i) << " stored " << n << " times, seed " << seed;
        duplicates += n > 1;
    }
    EXPECT_EQ(count(), std::size_t(kReceived));
    std::printf("%d messages stored twice (seed %u)\n", duplicates, seed);
    EXPECT_TRUE(run.quit());
}
