// Measures whether the running engine's memory stays flat: the engine host
// and the gateway window (its log pane and its sent and received lists, as
// the desk shows them, on the offscreen platform) against the modem
// simulator, with the engine's clock at 1/100 so that a run takes minutes.
// First N messages go out through the window's send box, then N come in
// through "+CMTI:" notices, each stored, shown and taken by a "READ" as a
// client of the command port would. The resident set size is printed after
// each 1,000.

#include "EngineRig.h"

#include "gateway/smsclasses.h"
#include "gateway/window/SMSMain.h"
#include "support/EngineState.h"

#include <QBuffer>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include <sqlite3.h>
#include <unistd.h>

namespace {

constexpr int kStep = 1000;
constexpr int kSendBatch = 50;
constexpr int kReceiveBatch = 20; // the simulator's storage holds 30

double residentMb()
{
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The part of it that the database holds: its page cache, bounded by the
// data layer's cache size, grows with the tables.
double databaseMb() { return static_cast<double>(sqlite3_memory_used()) / (1024.0 * 1024.0); }

// Runs a real event loop (port deliveries are served at once, as in the
// desk) until condition holds; false after two minutes.
bool waitFor(const std::function<bool()> &condition)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
    return condition();
}

int sendQueueSize(TSMSChannel &channel)
{
    EngineLock lock;
    return static_cast<int>(channel.SendQueue.size());
}

} // namespace

int memoryBench(int messages)
{
    EngineRig rig;
    if (!rig.started())
        return 1;
    ModemSim &sim = rig.sim;
    engineclock::setScale(0.01);

    // The window and the engine end before the rig, as at the program's end.
    struct End {
        std::unique_ptr<TEngineHost, TEngineEnd> host{new TEngineHost};
        std::unique_ptr<TFMain> window = std::make_unique<TFMain>(*host);
        ~End()
        {
            window.reset();
            host.reset();
            engine::flushReports();
        }
    } end;
    TFMain *window = end.window.get();
    window->show();
    window->FormActivate();
    TSMSChannel &channel = *Gateway->Channels[1];
    if (!waitFor([&] { return settled(channel); })) {
        std::fprintf(stderr, "engine did not initialise\n%s", sim.log().c_str());
        return 1;
    }
    std::printf("engine and window started: RSS %.1f MB\n", residentMb());
    std::fflush(stdout);

    for (int sent = 0; sent < messages;) {
        for (int i = 0; i < kSendBatch; ++i, ++sent) {
            window->MaskEdit1->setText(QString::number(13900000000LL + sent));
            window->Edit2->setText(QStringLiteral("第%1条消息，澜星信使").arg(sent));
            window->Button3Click();
        }
        if (!waitFor([&] { return sendQueueSize(channel) == 0; })) {
            std::fprintf(stderr, "messages not sent\n");
            return 1;
        }
        if (sent % kStep == 0) {
            std::printf("sent %5d: RSS %.1f MB, of which the database %.1f MB\n", sent, residentMb(), databaseMb());
            std::fflush(stdout);
        }
    }

    TEasyLinkCtr &link = *Gateway->CMPPSet->EasyLinkCtr;
    for (int got = 0; got < messages;) {
        for (int i = 0; i < kReceiveBatch; ++i, ++got) {
            const std::string reply =
                sim.control("text " + std::to_string(13700000000LL + got) + " 收到的第" + std::to_string(got) + "条");
            if (reply.rfind("OK", 0) != 0) {
                std::fprintf(stderr, "simulator refused a message: %s\n", reply.c_str());
                return 1;
            }
        }
        if (!waitFor([&] { return receivedCount(channel) == kReceiveBatch && settled(channel); })) {
            std::fprintf(stderr, "%d of %d messages received; the modem's storage: %s\nlog pane:\n%s\n",
                         receivedCount(channel), kReceiveBatch, sim.control("show SM").c_str(),
                         window->FXMemo->toPlainText().right(2000).toStdString().c_str());
            return 1;
        }
        // A client of the command port takes them.
        for (int i = 0; i < kReceiveBatch; ++i) {
            QBuffer reply;
            reply.open(QIODevice::WriteOnly);
            link.DoCommand("DavoRodu:READ", &reply);
        }
        if (got % kStep == 0) {
            std::printf("received %5d: RSS %.1f MB, of which the database %.1f MB\n", got, residentMb(), databaseMb());
            std::fflush(stdout);
        }
    }
    std::printf("rows in the sent list %d, in the received list %d, lines in the log pane %d\n",
                window->ListView1->topLevelItemCount(), window->ListView2->topLevelItemCount(),
                window->FXMemo->document()->blockCount());
    return 0;
}
