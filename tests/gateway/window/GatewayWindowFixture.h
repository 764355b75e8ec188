#pragma once

#include "../GatewayFixture.h"
#include "gateway/window/SMSMain.h"
#include "harness/BoxScript.h"

#include <QEventLoop>
#include <QTimer>
#include <functional>
#include <memory>

// The gateway window on the program's engine host (EngineHost), in a fresh
// work folder whose "smsset.ini" names the centre "+8613800210500" and a
// port that does not exist (or, with writeIni, the simulator's). TearDown
// ends the window and the engine as the program end does (end()).
class GatewayWindowTest : public ::testing::Test {
protected:
    void SetUp() override { writeIni(dir.file("nomodem")); }
    void TearDown() override
    {
        end();
        engine::flushReports();
        TCMPPSet::ListenOn.Port = 0;
    }

    void writeIni(const std::string &port) { dir.write("smsset.ini", iniText(port)); }
    // The program's end: the window goes (writing the queue files), then the
    // engine host (TEngineEnd), as the desk's owner of both ends them.
    void end()
    {
        window_.reset();
        EngineHost = nullptr;
        host_.reset();
    }
    // The window goes; its host stays.
    void dropWindow() { window_.reset(); }
    // The program's host, made when there is none (also after end()).
    TEngineHost &host()
    {
        if (!host_) {
            host_.reset(new TEngineHost);
            EngineHost = host_.get();
        }
        return *host_;
    }
    // The gateway window on host(), not activated yet; replaces one made before.
    TFMain *make()
    {
        window_.reset();
        window_ = std::make_unique<TFMain>(host());
        return window_.get();
    }
    TFMain *open()
    {
        TFMain *window = make();
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

private:
    std::unique_ptr<TEngineHost, TEngineEnd> host_;
    std::unique_ptr<TFMain> window_;
};
