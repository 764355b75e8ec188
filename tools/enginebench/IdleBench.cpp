// Measures what the idle gateway engine costs: the engine host is started,
// without a window, against the modem simulator in real time (no time
// scaling), left to find and
// initialise the modem and to read storage indices 1 to 5, and then, with
// nothing to do but its ticks and keep-alives, its process CPU time is taken
// over the measuring period (getrusage: the drive thread, the port's event
// thread and the main thread's deliveries together).

#include "EngineRig.h"

#include "gateway/smsclasses.h"
#include "support/CpuTime.h"
#include "support/EngineState.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

class CountingReports : public IEngineReports {
public:
    void LogLine(const std::string &line) override { initialised |= line == "GSM模块初始化成功!"; }
    void DeviceState(const std::string &) override {}
    void PortState(const std::string &text) override { port = text; }
    void ReceivedRow(const std::string &, const std::string &, const std::string &) override {}

    bool initialised = false;
    std::string port;
};

long keepAlives(const ModemSim &sim)
{
    const auto commands = sim.commands();
    return std::count(commands.begin(), commands.end(), std::string("AT"));
}

} // namespace

int idleBench(int seconds)
{
    EngineRig rig;
    if (!rig.started())
        return 1;
    const ModemSim &sim = rig.sim;
    CountingReports reports;
    engine::setReports(&reports);

    auto host = std::make_unique<TEngineHost>();
    host->Start();
    TSMSChannel &channel = *host->Engine()->Channels[1];
    if (!QTest::qWaitFor([&] { return reports.initialised && settled(channel); }, 60000)) {
        std::fprintf(stderr, "engine did not initialise (%s)\n%s", reports.port.c_str(), sim.log().c_str());
        return 1;
    }
    std::printf("engine initialised against the simulator, %s; idle for %d s\n", reports.port.c_str(), seconds);

    const long keepAlivesBefore = keepAlives(sim);
    const double before = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    // A real event loop, as the desk runs it (qWait would poll).
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    const double used = cpuSeconds() - before;
    const double elapsed = wall.elapsed() / 1000.0;
    std::printf("idle engine: %.1f s wall, %.1f ms CPU = %.3f%% of one core; %ld keep-alives answered\n", elapsed,
                used * 1000, used * 100 / elapsed, keepAlives(sim) - keepAlivesBefore);

    host->Stop();
    engine::flushReports();
    engine::setReports(nullptr);
    host.reset();
    return 0;
}
