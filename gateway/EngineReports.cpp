#include "gateway/EngineReports.h"

#include "platform/sync/ThreadSync.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>
#include <QtGlobal>
#include <atomic>
#include <deque>
#include <exception>
#include <mutex>

namespace engine {
namespace {

std::atomic<IEngineReports *> g_target{nullptr};
std::mutex g_queueMutex;
std::deque<std::function<void()>> g_queue;
bool g_flushing = false; // main thread only

// Runs the queue on the main thread when its event comes. A plain event
// that our code never reads rather than a queued functor: the only memory
// our code shares between the threads is then the queue's, under its mutex
// (Qt hands its events over under locks that ThreadSanitizer cannot see).
class Pump : public QObject {
public:
    static constexpr QEvent::Type kFlush = QEvent::Type(QEvent::User + 1);

protected:
    void customEvent(QEvent *) override { flushReports(); }
};

// The pump of the application's main thread; made once, kept for the process.
QObject *pump(QCoreApplication *app)
{
    static Pump *const made = [app] {
        auto *p = new Pump;
        if (p->thread() != app->thread())
            p->moveToThread(app->thread());
        return p;
    }();
    return made;
}

void runGuarded(const std::function<void()> &call)
{
    try {
        call();
    } catch (const std::exception &e) {
        qWarning("Engine report failed: %s", e.what());
    } catch (...) {
        qWarning("Engine report failed");
    }
}

// Queues a call of one operation of the target, read when the call runs.
void report(std::function<void(IEngineReports &)> op)
{
    onMainThread([op = std::move(op)] {
        if (IEngineReports *target = g_target.load())
            op(*target);
    });
}

} // namespace

void setReports(IEngineReports *target) { g_target.store(target); }

IEngineReports *reports() { return g_target.load(); }

void logLine(const std::string &line)
{
    report([line](IEngineReports &r) { r.LogLine(line); });
}

void deviceState(const std::string &text)
{
    report([text](IEngineReports &r) { r.DeviceState(text); });
}

void portState(const std::string &text)
{
    report([text](IEngineReports &r) { r.PortState(text); });
}

void receivedRow(const std::string &caption, const std::string &text, const std::string &time)
{
    report([caption, text, time](IEngineReports &r) { r.ReceivedRow(caption, text, time); });
}

void sentRow(const std::string &number, const std::string &text, const std::string &time)
{
    report([number, text, time](IEngineReports &r) { r.SentRow(number, text, time); });
}

void storeState(const std::string &text)
{
    report([text](IEngineReports &r) { r.StoreState(text); });
}

void hideWindow()
{
    report([](IEngineReports &r) { r.HideWindow(); });
}

void showWindow()
{
    report([](IEngineReports &r) { r.ShowWindow(); });
}

void monitorText(int channel, const std::string &text)
{
    report([channel, text](IEngineReports &r) { r.MonitorText(channel, text); });
}

void onMainThread(std::function<void()> call)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app) {
        runGuarded(call);
        return;
    }
    {
        std::lock_guard lock(g_queueMutex);
        g_queue.push_back(std::move(call));
    }
    if (threadsync::isMainThread())
        flushReports();
    else
        QCoreApplication::postEvent(pump(app), new QEvent(Pump::kFlush));
}

void flushReports()
{
    // A report that reports again only queues; the outer loop runs it next.
    if (g_flushing)
        return;
    g_flushing = true;
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard lock(g_queueMutex);
            if (g_queue.empty())
                break;
            call = std::move(g_queue.front());
            g_queue.pop_front();
        }
        runGuarded(call);
    }
    g_flushing = false;
}

} // namespace engine
