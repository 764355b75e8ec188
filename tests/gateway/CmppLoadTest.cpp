// The command port under more clients than it takes at once: the cap, a
// process out of descriptors, and clients that stay silent.

#include "GatewayFixture.h"
#include "gateway/EngineClock.h"
#include "support/CpuTime.h"

#include <QTcpSocket>
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

struct FloodReport {
    int answered = 0;
    int unanswered = 0;  // connected, then closed or still waiting at the deadline
    int unconnected = 0; // never got through
};

long nowMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

// Clients of the command port in a child process, so that their descriptors
// are not the server's: all connect at once; each, holdMs after it got
// through, asks QUERY, takes the answer and leaves. The child ends at its
// deadline and writes its report to a pipe. It only makes system calls: its
// memory is laid out before the fork.
class ClientFlood {
public:
    ClientFlood(quint16 port, int clients, int holdMs, int deadlineMs)
        : fds_(static_cast<std::size_t>(clients)), state_(fds_.size()), since_(fds_.size())
    {
        int ends[2];
        if (::pipe(ends) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ends[0]);
            const FloodReport report = run(port, holdMs, deadlineMs);
            (void)!::write(ends[1], &report, sizeof report);
            ::_exit(0);
        }
        ::close(ends[1]);
        pipe_ = ends[0];
        ::fcntl(pipe_, F_SETFL, O_NONBLOCK);
    }
    ~ClientFlood()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (pipe_ >= 0)
            ::close(pipe_);
    }
    ClientFlood(const ClientFlood &) = delete;
    ClientFlood &operator=(const ClientFlood &) = delete;

    // Runs the server's events, and meanwhile between them, until the child
    // reports; none after timeoutMs.
    std::optional<FloodReport> report(int timeoutMs, const std::function<void()> &meanwhile)
    {
        FloodReport r;
        auto reported = [&] {
            meanwhile();
            return ::read(pipe_, &r, sizeof r) == sizeof r;
        };
        if (pid_ <= 0 || !QTest::qWaitFor(reported, timeoutMs))
            return std::nullopt;
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
        return r;
    }

private:
    enum State { Connecting, Holding, Asked, Answered, Unanswered, Unconnected };

    FloodReport run(quint16 port, int holdMs, int deadlineMs)
    {
        holdMs_ = holdMs;
        const rlimit room{fds_.size() + 64, fds_.size() + 64};
        ::setrlimit(RLIMIT_NOFILE, &room);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (std::size_t i = 0; i < fds_.size(); ++i) {
            fds_[i] = {::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0), POLLOUT, 0};
            state_[i] = fds_[i].fd >= 0 && (::connect(fds_[i].fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0 ||
                                            errno == EINPROGRESS)
                            ? Connecting
                            : Unconnected;
        }
        const long deadline = nowMs() + deadlineMs;
        for (bool busy = true; busy && nowMs() < deadline;) {
            ::poll(fds_.data(), fds_.size(), 20);
            busy = false;
            for (std::size_t i = 0; i < fds_.size(); ++i)
                busy = step(i) || busy;
        }
        FloodReport r;
        for (State s : state_) {
            r.answered += s == Answered;
            r.unanswered += s == Holding || s == Asked || s == Unanswered;
            r.unconnected += s == Connecting || s == Unconnected;
        }
        return r;
    }

    // One client's next move; false once it has finished.
    bool step(std::size_t i)
    {
        pollfd &p = fds_[i];
        auto finish = [&](State s) {
            ::close(p.fd);
            p.fd = -1;
            state_[i] = s;
            return false;
        };
        switch (state_[i]) {
        case Connecting: {
            if (!p.revents)
                return true;
            int error = 0;
            socklen_t size = sizeof error;
            ::getsockopt(p.fd, SOL_SOCKET, SO_ERROR, &error, &size);
            if (error != 0)
                return finish(Unconnected);
            state_[i] = Holding;
            since_[i] = nowMs();
            p.events = 0;
            return true;
        }
        case Holding:
            if (nowMs() < since_[i] + holdMs_)
                return true;
            if (::write(p.fd, "DavoRodu:QUERY", 14) != 14)
                return finish(Unanswered);
            state_[i] = Asked;
            p.events = POLLIN;
            return true;
        case Asked: {
            if (!p.revents)
                return true;
            char answer[16];
            return finish(::read(p.fd, answer, sizeof answer) > 0 ? Answered : Unanswered);
        }
        default: return false;
        }
    }

    std::vector<pollfd> fds_;
    std::vector<State> state_;
    std::vector<long> since_;
    long holdMs_ = 0;
    pid_t pid_ = -1;
    int pipe_ = -1;
};

int openDescriptors()
{
    int n = 0;
    for (int fd = 0; fd < 65536; ++fd)
        n += ::fcntl(fd, F_GETFD) != -1;
    return n;
}

// The process's share of one core over ms while events run.
double cpuShare(int ms)
{
    const double before = cpuSeconds();
    QTest::qWait(ms);
    return (cpuSeconds() - before) * 1000 / ms;
}

class CmppLoadTest : public CmppTest {
protected:
    void TearDown() override
    {
        CmppTest::TearDown();
        engineclock::setScale(1.0);
    }
};

TEST_F(CmppLoadTest, TwoThousandClientsAtOnceAreAllServedWithoutSpinning)
{
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    struct Case {
        const char *name;
        rlim_t descriptors; // the process's limit
        int mostAtOnce;
    };
    const rlim_t few = static_cast<rlim_t>(openDescriptors() + 60);
    const Case cases[] = {
        {"at the cap", saved.rlim_cur, TCMPPSet::kMaxClients},
        {"out of descriptors first", few, -1}, // below the cap: accepting fails
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        rlimit limit = saved;
        limit.rlim_cur = c.descriptors;
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limit), 0);
        // Each client waits four seconds before it asks, so that the rest
        // pile up behind the cap or the descriptor limit meanwhile, even on
        // a slow machine.
        ClientFlood flood(port(), 2000, 4000, 60000);
        int mostAtOnce = 0;
        auto count = [&] { mostAtOnce = std::max(mostAtOnce, gateway->CMPPSet->Clients()); };
        // Until the first burst of accepts is over: no new client for 200 ms.
        for (int same = 0, last = -1, i = 0; same < 20 && i < 500; ++i) {
            count();
            same = gateway->CMPPSet->Clients() == last ? same + 1 : 0;
            last = gateway->CMPPSet->Clients();
            QTest::qWait(10);
        }
        // Not spinning on the connections that wait (a spin takes a whole core).
        EXPECT_LT(cpuShare(500), 0.3);
        const std::optional<FloodReport> report = flood.report(90000, count);
        ::setrlimit(RLIMIT_NOFILE, &saved);
        ASSERT_TRUE(report);
        EXPECT_EQ(report->answered, 2000);
        EXPECT_EQ(report->unanswered, 0);
        EXPECT_EQ(report->unconnected, 0);
        if (c.mostAtOnce > 0)
            EXPECT_EQ(mostAtOnce, c.mostAtOnce);
        else
            EXPECT_LT(mostAtOnce, TCMPPSet::kMaxClients);
        ASSERT_TRUE(QTest::qWaitFor([&] { return gateway->CMPPSet->Clients() == 0; }, 5000));
    }
    EXPECT_LT(cpuShare(500), 0.3);
    TcpClient after(port());
    EXPECT_EQ(after.ask("DavoRodu:QUERY", 1), "0");
}

TEST_F(CmppLoadTest, AClientSilentForFiveMinutesIsClosedAndOneThatTalksIsNot)
{
    CmppTest::TearDown();
    engineclock::setScale(0.01); // five minutes in three seconds
    CmppTest::SetUp();
    TcpClient silent(port()), talking(port());
    ASSERT_TRUE(silent.connected());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            EXPECT_EQ(talking.ask("DavoRodu:QUERY", 1), "0");
            return !silent.connected();
        },
        30000));
    EXPECT_TRUE(talking.connected());
    EXPECT_EQ(talking.ask("DavoRodu:QUERY", 1), "0");
    EXPECT_TRUE(QTest::qWaitFor([&] { return gateway->CMPPSet->Clients() == 1; }, 5000));
}

TEST_F(CmppLoadTest, AtTheCapTheClientSilentLongestGivesWayButOneAskingEverySecondStays)
{
    CmppTest::TearDown();
    engineclock::setScale(0.25); // ten seconds of silence in 2.5
    CmppTest::SetUp();
    using engineclock::Clock;
    TcpClient talking(port());
    Clock::time_point nextAsk{};
    auto talk = [&] {
        if (Clock::now() < nextAsk)
            return;
        EXPECT_EQ(talking.ask("DavoRodu:QUERY", 1), "0");
        nextAsk = Clock::now() + engineclock::scaled(1000);
    };
    // A pool that keeps its connections: each asks once, then says nothing.
    std::vector<std::unique_ptr<TcpClient>> pool;
    for (int i = 1; i < TCMPPSet::kMaxClients; ++i) {
        talk();
        pool.push_back(std::make_unique<TcpClient>(port()));
        EXPECT_EQ(pool.back()->ask("DavoRodu:QUERY", 1), "0");
    }
    const Clock::time_point lastConnected = Clock::now();
    ASSERT_EQ(gateway->CMPPSet->Clients(), TCMPPSet::kMaxClients);
    std::vector<std::unique_ptr<TcpClient>> newcomers;
    for (int round = 0; round < 3; ++round) {
        newcomers.push_back(std::make_unique<TcpClient>(port()));
        newcomers.back()->send("DavoRodu:QUERY");
        // Answered within twelve seconds of the pool's last connect.
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(lastConnected + engineclock::scaled(12000) - Clock::now());
        std::string answer;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                talk();
                answer += newcomers.back()->pending();
                return !answer.empty();
            },
            std::max(static_cast<int>(left.count()), 0)))
            << round;
        EXPECT_EQ(answer, "0") << round;
    }
    // The three silent longest gave way, not the oldest connection.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !pool[0]->connected() && !pool[1]->connected() && !pool[2]->connected(); }, 5000));
    EXPECT_TRUE(pool[3]->connected());
    EXPECT_TRUE(talking.connected());
    EXPECT_EQ(talking.ask("DavoRodu:QUERY", 1), "0");
}

} // namespace
