// Measures what one change of the send queue costs the main thread when the
// queue is long: the engine host starts (without a modem, so nothing leaves
// the queue by itself) on a "SendBuf.TXT" of N messages, then
//   send:   one message through the host's send path, and
//   remove: the head taken off (as a message sent), the channel notified,
//   handover: one row handed over as the desk's dispatch does (named in the
//           hand-over journal, appended, then marked),
// each followed by running the main thread's pending events, which is where
// a change may be carried out later. Wall time on the main thread, per
// change: median, 90th percentile and largest.
// Usage: queuebench [messages, default 10000] [rounds, default 50] [folder]
// (the folder for the work files, default a fresh one under the system's
// temporary folder; the figures depend on its file system).

#include "gateway/smsclasses.h"
#include "platform/text/Profile.h"
#include "support/WorkDir.h"

#include <QCoreApplication>
#include <QDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

// "你好" to 13912345678 through the centre 13800210500.
const std::string kPdu = "0891683108200105F011000D91683119325476F80008A8044F60597D";

using Clock = std::chrono::steady_clock;

void report(const char *what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double q) { return ms[std::min(ms.size() - 1, static_cast<std::size_t>(q * ms.size()))]; };
    std::printf("%-8s median %8.3f ms   p90 %8.3f ms   max %8.3f ms\n", what, at(0.5), at(0.9), ms.back());
}

std::vector<double> measure(int rounds, const std::function<void()> &change)
{
    std::vector<double> ms;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        change();
        QCoreApplication::processEvents();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return ms;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int messages = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;
    WorkDir temporary;
    if (argc > 3 && !QDir::setCurrent(QString::fromLocal8Bit(argv[3]))) {
        std::fprintf(stderr, "cannot use the folder %s\n", argv[3]);
        return 1;
    }
    profile::writeString("CH1", "COMPORT", QDir::current().filePath("no-modem").toStdString(), "smsset.ini");
    {
        std::ofstream file("SendBuf.TXT", std::ios::binary | std::ios::trunc);
        for (int i = 0; i < messages; ++i)
            file << kPdu << "\r\n";
    }

    TEngineHost host;
    host.Start();
    TSMSChannel &channel = *host.Engine()->Channels[1];
    std::printf("%d messages queued, %d changes each, in %s\n", messages, rounds,
                QDir::currentPath().toLocal8Bit().constData());

    report("send", measure(rounds, [&] { host.Send("13912345678", "你好"); }));
    report("remove", measure(rounds, [&] {
               EngineLock lock;
               channel.SendQueue.pop_front();
               channel.QueuesChanged();
           }));
    int row = 0;
    report("handover", measure(rounds, [&] {
               const std::vector<std::string> key = {std::to_string(++row), "13912345678", "你好"};
               host.HandOver(key, "13912345678", "你好");
               host.HandOverMarked(key);
           }));
    host.Stop();
    return 0;
}
