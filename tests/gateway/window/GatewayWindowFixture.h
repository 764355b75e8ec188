#pragma once

#include "../GatewayFixture.h"
#include "gateway/window/SMSMain.h"
#include "harness/BoxScript.h"

#include <QEventLoop>
#include <QTimer>
#include <functional>

// The gateway window on the program's engine host (EngineHost), in a fresh
// work folder whose "smsset.ini" names the centre "+8613800210500" and a
// port that does not exist (or, with writeIni, the simulator's). TearDown
// ends the window and the engine as the program end does.
class GatewayWindowTest : public ::testing::Test {
protected:
    void SetUp() override { writeIni(dir.file("nomodem")); }
    void TearDown() override
    {
        engineEnd();
        engine::flushReports();
        TCMPPSet::ListenOn.Port = 0;
    }

    void writeIni(const std::string &port)
    {
        dir.write("smsset.ini", "[COMMON]\r\nSCA=+8613800210500\r\n\r\n[CH1]\r\nCOMPORT=" + port + "\r\n");
    }
    // The program's host, made when there is none (also after engineEnd).
    static TEngineHost &host()
    {
        if (!EngineHost)
            EngineHost = new TEngineHost;
        return *EngineHost;
    }
    TFMain *open()
    {
        auto *window = new TFMain(host());
        activate(window);
        return window;
    }
    void activate(TFMain *window)
    {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    }
    quint16 port() const { return Gateway->CMPPSet->Port(); }
    TSMSChannel *channel() const { return Gateway->Channels[1].get(); }
    int received() const { return receivedCount(*channel()); }
    std::vector<std::string> queued() const { return queuedHex(*channel()); }
    // Runs f inside an event loop; 0 when f ended the application's event
    // loops, 7 when the loop went on after it.
    static int runInLoop(const std::function<void()> &f)
    {
        QEventLoop loop;
        QTimer::singleShot(0, &loop, [&] {
            f();
            QTimer::singleShot(0, &loop, [&] { loop.exit(7); });
        });
        return loop.exec();
    }

    WorkDir dir;
    BoxScript boxes;
};
