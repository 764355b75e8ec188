// Load on the TCP command port: N clients on loopback, each sending
// "DavoRodu:QUERY" and waiting for its answer before the next, for a number
// of seconds, while the engine (gateway, channel 1 on the modem simulator,
// drive thread, real-time clock) runs. Prints requests per second and the
// latency percentiles of one request as a client sees it.
// With --burst N, N messages are queued as the engine starts: it prints the
// time from the port's opening to the first message sent, and the latencies
// of the requests due while the burst goes out (first to last send), each
// client asking every 5 ms.
// Usage: tcpbench [clients, default 100] [seconds, default 5]
//        tcpbench --burst N [clients, default 10]

#include "gateway/smsclasses.h"
#include "platform/text/Profile.h"
#include "support/ModemSim.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct ClientResult {
    std::vector<double> latencyUs;
    std::vector<Clock::time_point> startedAt; // of each request, for the burst's window
    long wrongAnswers = 0;
    bool failed = false;
};

int connectTo(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return -1;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

// One client: waits for the start, then asks until the deadline: each
// request as soon as the last was answered or, with a pace, on a fixed
// schedule, its latency then counted from the time it was due (so that a
// stall counts for every request it held up, not for one).
void runClient(int fd, const std::atomic<bool> &go, const std::atomic<Clock::time_point> &deadline,
               const std::string &expected, std::chrono::microseconds pace, ClientResult &result)
{
    static const std::string query = "DavoRodu:QUERY";
    while (!go.load())
        std::this_thread::yield();
    char buf[64];
    auto due = Clock::now();
    while (Clock::now() < deadline.load()) {
        if (pace.count() > 0) {
            due += pace;
            std::this_thread::sleep_until(due);
        }
        const auto start = pace.count() > 0 ? due : Clock::now();
        if (::send(fd, query.data(), query.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(query.size())) {
            result.failed = true;
            return;
        }
        // The answer has no terminator: it is complete once it has as many
        // bytes as expected.
        std::string answer;
        while (answer.size() < expected.size()) {
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) {
                result.failed = true;
                return;
            }
            answer.append(buf, static_cast<std::size_t>(n));
        }
        result.latencyUs.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        result.startedAt.push_back(start);
        if (answer != expected)
            ++result.wrongAnswers;
    }
}

double percentile(std::vector<double> &sorted, double p)
{
    if (sorted.empty())
        return 0;
    const auto i = static_cast<std::size_t>(p / 100.0 * (sorted.size() - 1));
    return sorted[i];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    int burst = 0;
    if (args.size() >= 2 && args[0] == "--burst") {
        burst = std::max(1, std::atoi(args[1].c_str()));
        args.erase(args.begin(), args.begin() + 2);
    }
    const int clients = !args.empty() ? std::max(1, std::atoi(args[0].c_str())) : burst ? 10 : 100;
    const int seconds = args.size() > 1 ? std::max(1, std::atoi(args[1].c_str())) : 5;

    QTemporaryDir work;
    QDir::setCurrent(work.path());
    ModemSim sim;
    if (!sim.started()) {
        std::fprintf(stderr, "modem simulator did not start: %s\n", sim.errorOutput().c_str());
        return 1;
    }
    profile::writeString("CH1", "COMPORT", sim.port(), "smsset.ini");
    TCMPPSet::ListenOn = {QHostAddress(QHostAddress::LocalHost), 0};

    TGateWay gateway;
    const auto opened = Clock::now();
    gateway.Init("GW01");
    const quint16 port = gateway.CMPPSet->Port();
    if (port == 0) {
        std::fprintf(stderr, "command port could not be opened\n");
        return 1;
    }
    TSMSChannel *channel = gateway.Channels[1].get();
    for (int i = 0; i < 3; ++i) {
        auto pdu = std::make_unique<TPDUGet>();
        pdu->Decode("0891683108200105F0040D91683115234576F8000821503041709023044F60597D");
        channel->AddReceived(std::move(pdu));
    }
    for (int i = 0; i < burst; ++i)
        channel->QueueSend(TEasyLinkCtr::MakeSendPdu("13800210500", "13912345678", "burst " + std::to_string(i)));
    TDriveThread drive(&gateway);
    drive.Start();
    if (!burst) {
        std::printf("waiting for the engine to initialise the simulated modem...\n");
        const bool ready = QTest::qWaitFor(
            [&] {
                EngineLock lock;
                const TChannelCtr &ctr = *channel->ChannelCtr;
                return ctr.Ready == 1 && ctr.ReadQueue.empty() && ctr.Current == nullptr;
            },
            60000);
        std::printf("engine %s\n", ready ? "ready" : "not ready after 60 s; measuring anyway");
    }

    std::vector<int> fds;
    for (int i = 0; i < clients; ++i) {
        const int fd = connectTo(port);
        if (fd < 0) {
            std::fprintf(stderr, "client %d could not connect\n", i);
            return 1;
        }
        fds.push_back(fd);
        QCoreApplication::processEvents(); // let the server accept as they come
    }
    std::atomic<bool> go{false};
    std::atomic<Clock::time_point> deadline{Clock::time_point::max()};
    std::vector<ClientResult> results(static_cast<std::size_t>(clients));
    std::vector<std::thread> threads;
    std::atomic<int> finished{0};
    for (int i = 0; i < clients; ++i)
        threads.emplace_back([&, i] {
            runClient(fds[i], go, deadline, "3", std::chrono::microseconds(burst ? 5000 : 0), results[i]);
            ++finished;
        });
    QTest::qWait(200); // every connection accepted
    if (!burst)
        deadline = Clock::now() + std::chrono::seconds(seconds);
    QElapsedTimer wall;
    wall.start();
    go.store(true);
    auto queued = [&] {
        EngineLock lock;
        return static_cast<int>(channel->SendQueue.size());
    };
    std::optional<Clock::time_point> firstSent, lastSent;
    const auto burstLimit = Clock::now() + std::chrono::seconds(60 + 5 * burst);
    while (finished.load() < clients) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (!burst)
            continue;
        const int left = queued();
        if (!firstSent && left < burst)
            firstSent = Clock::now();
        if (!lastSent && (left == 0 || Clock::now() > burstLimit)) {
            lastSent = Clock::now();
            deadline = *lastSent;
        }
    }
    const double elapsed = wall.nsecsElapsed() / 1e9;
    for (auto &t : threads)
        t.join();
    for (int fd : fds)
        ::close(fd);

    std::vector<double> all;
    long wrong = 0;
    int failed = 0;
    for (auto &r : results) {
        for (std::size_t i = 0; i < r.latencyUs.size(); ++i)
            if (!burst || (firstSent && r.startedAt[i] >= *firstSent))
                all.push_back(r.latencyUs[i]);
        wrong += r.wrongAnswers;
        failed += r.failed ? 1 : 0;
    }
    std::sort(all.begin(), all.end());
    if (burst) {
        auto sinceOpen = [&](const std::optional<Clock::time_point> &t) {
            return t ? std::chrono::duration<double>(*t - opened).count() : -1.0;
        };
        std::printf("burst of %d: first sent %.2f s after the port opened, %d left unsent, last sent at %.2f s\n",
                    burst, sinceOpen(firstSent), queued(), sinceOpen(lastSent));
    }
    std::printf("%d clients, %.2f s: %zu requests, %.0f requests/s\n", clients, elapsed, all.size(),
                all.size() / elapsed);
    std::printf("latency: p50 %.3f ms, p99 %.3f ms, p99.9 %.3f ms, max %.3f ms\n", percentile(all, 50) / 1000,
                percentile(all, 99) / 1000, percentile(all, 99.9) / 1000, all.empty() ? 0.0 : all.back() / 1000);
    std::printf("wrong answers %ld, failed clients %d\n", wrong, failed);
    drive.RequestStop();
    drive.Join();
    return wrong == 0 && failed == 0 && queued() == 0 ? 0 : 1;
}
