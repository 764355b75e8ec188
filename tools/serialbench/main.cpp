// Measures the serial component on a pseudo-terminal pair:
//  1. the CPU time an open, idle port costs over 10 s (getrusage);
//  2. 1 MB written at full speed from the device side, received through OnData
//     on the main thread, checked complete and in order;
//  3. 1 MB sent with SendData, read on the device side, checked likewise.
// Usage: serialbench [idle seconds, default 10]

#include "serial/XComDrv.h"
#include "support/PtyPair.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::string pattern(std::size_t size)
{
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        s[i] = static_cast<char>((i * 131 + i / 251) & 0xFF);
    return s;
}

int idleRun(int seconds)
{
    PtyPair pty;
    TXComm comm;
    comm.setDeviceName(pty.slavePath());
    comm.setOnData([](TCustomComm *, std::uint32_t) {});
    comm.OpenDevice();
    const double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(seconds * 1000, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    const double used = cpuSeconds() - before;
    std::printf("idle: open port, %.1f s wall, %.3f ms CPU (%.4f%% of one core)\n", wall.elapsed() / 1000.0,
                used * 1000, used * 100 / (wall.elapsed() / 1000.0));
    return 0;
}

int receiveRun(const std::string &data)
{
    PtyPair pty;
    TXComm comm;
    comm.setDeviceName(pty.slavePath());
    std::string got;
    got.reserve(data.size());
    std::size_t deliveries = 0;
    comm.setOnData([&](TCustomComm *, std::uint32_t received) {
        ++deliveries;
        std::string s;
        if (comm.ReadString(s, received))
            got += s;
        if (got.size() >= data.size())
            QCoreApplication::quit();
    });
    comm.OpenDevice();
    QElapsedTimer wall;
    wall.start();
    const double before = cpuSeconds();
    std::thread device([&] { pty.write(data); });
    QTimer::singleShot(60000, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    device.join();
    const double secs = wall.elapsed() / 1000.0;
    const bool ok = got == data;
    std::printf("receive: %zu of %zu bytes, %s, %.3f s (%.2f MB/s), %zu deliveries, %.3f s CPU\n", got.size(),
                data.size(), ok ? "complete and in order" : "MISMATCH", secs, data.size() / 1e6 / secs, deliveries,
                cpuSeconds() - before);
    return ok ? 0 : 1;
}

int sendRun(const std::string &data)
{
    PtyPair pty;
    TXComm comm;
    comm.setDeviceName(pty.slavePath());
    comm.OpenDevice();
    std::string got;
    std::thread device([&] { got = pty.read(data.size(), 5000); });
    QElapsedTimer wall;
    wall.start();
    std::uint32_t sent = 0;
    while (sent < data.size())
        sent += comm.SendDataEx(data.data() + sent, static_cast<std::uint32_t>(data.size() - sent), 5000);
    device.join();
    const double secs = wall.elapsed() / 1000.0;
    const bool ok = got == data;
    std::printf("send: %zu of %zu bytes, %s, %.3f s (%.2f MB/s)\n", got.size(), data.size(),
                ok ? "complete and in order" : "MISMATCH", secs, data.size() / 1e6 / secs);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const std::string data = pattern(1 << 20);
    int rc = idleRun(seconds);
    rc |= receiveRun(data);
    rc |= sendRun(data);
    return rc;
}
