#pragma once

#include "GatewayCommon.h"
#include "GatewayFixture.h"
#include "codec/Gbk.h"
#include "data/DM1.h"
#include "data/WorkFolder.h"
#include "gateway/smsclasses.h"
#include "platform/text/Profile.h"
#include "support/ColumnValues.h"
#include "support/ModemSim.h"
#include "support/PtyPair.h"
#include "support/WorkDir.h"

#include <QTest>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// Waits for a condition while the main thread's events run (port
// deliveries, queued reports); false after timeoutMs.
inline bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 20000)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

// The notice "+CMTI: "<storage>",<index>" as the modem writes it, in hex for
// the simulator's raw.
inline std::string noticeHex(const std::string &storage, int index)
{
    std::string hex;
    for (unsigned char c : "\r\n+CMTI: \"" + storage + "\"," + std::to_string(index) + "\r\n")
        hex += ByteToHex(c);
    return hex;
}

// Another program's write transaction on "dbvord.mdb" in the current
// directory, held until the connection rolls it back or goes.
inline std::unique_ptr<TAdoConnection> anotherProgramsLock()
{
    auto other = std::make_unique<TAdoConnection>(TDataModule1::ConnectionString);
    other->Open();
    other->BeginTrans();
    other->Execute("insert into operlog (WORKCODE) values ('other')");
    return other;
}

// Waits until the modem's storage SM is empty and the engine has nothing
// left to do.
inline void waitEmptied(const ModemSim &sim, TSMSChannel &channel)
{
    ASSERT_TRUE(waitUntil([&] { return sim.control("show SM") == "OK 0 30" && settled(channel); }, 30000)) << sim.log();
}

// Rows of a query on a query object of the test's own.
inline std::vector<std::string> column(TDataModule1 &dm, const std::string &sql, const char *field)
{
    TAdoQuery q(dm.Database1, "probe");
    return columnValues(q, sql, field);
}

// Resets what one test may leave in the process-wide engine state.
inline void resetEngineGlobals()
{
    DialNumber.set(std::string());
    PhoneBookIndex.set(0);
    SearchingDevice.set(false);
}

// One channel opened on a pty in a fresh work folder, initialised by hand
// (Ready 1, no reads queued), for driving ticks and lines directly; the test
// plays the modem on the pty's device side. Time runs at 1/100.
class ChannelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engineclock::setScale(0.01);
        resetEngineGlobals();
        ASSERT_TRUE(profile::writeString("CH1", "COMPORT", pty.slavePath(), "smsset.ini"));
        engine::setReports(&reports);
        gateway.Host = &reports;
        channel.Number = 1;
        channel.Owner = &gateway;
        channel.Open();
        ctr = channel.ChannelCtr.get();
        // As the first initialisation leaves it.
        ctr->Ready = 1;
        ctr->ReadQueue.clear();
        PhoneBookIndex.set(-1);
        ASSERT_TRUE(channel.Comm->Opened());
    }
    void TearDown() override
    {
        engine::flushReports();
        engine::setReports(nullptr);
        resetEngineGlobals();
        engineclock::setScale(1.0);
    }

    // The bytes the engine wrote, once count of them have come.
    std::string written(std::size_t count) { return pty.read(count, 2000); }
    std::string writtenNow()
    {
        QTest::qWait(20);
        return pty.readAvailable();
    }
    // Runs the timed steps of the running exchange as the drive thread
    // would, each once it is due (its Serve then starts the next exchange
    // when the channel is idle), until none is left.
    void runSteps()
    {
        while (const auto due = channel.NextStep()) {
            std::this_thread::sleep_until(*due);
            channel.Serve();
        }
    }
    bool waiting()
    {
        return locked([&] { return ctr->Waiting(); });
    }
    // Hands bytes straight to the line builder, as a delivery would.
    void feed(const std::string &bytes)
    {
        EngineLock lock;
        for (char c : bytes)
            ctr->LineGet->PutChar(c);
    }
    // The monitor memo's text as the window shows it, a CR starting a line.
    std::string monitorText()
    {
        engine::flushReports();
        std::string text = reports.monitor[1];
        std::replace(text.begin(), text.end(), '\r', '\n');
        return text;
    }

    WorkDir dir;
    PtyPair pty;
    RecordingReports reports;
    TGateWay gateway;
    TSMSChannel channel;
    TChannelCtr *ctr = nullptr;
};

// A controller that records the lines it gets.
class ProbeCtr : public TSMSCtr {
public:
    using TSMSCtr::TSMSCtr;
    std::string GetCmd() override { return Cmd; }
    void ProcessLine(const std::string &line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

// The whole engine against the modem simulator: a work folder with a new
// database, the data module, the gateway with channel 1 on the simulator's
// port and the drive thread running. Time runs at 1/10.
class EngineTest : public ::testing::Test {
protected:
    explicit EngineTest(ModemSim::Options options = {}) : sim(options) {}

    void SetUp() override
    {
        ASSERT_TRUE(sim.started()) << sim.errorOutput();
        workfolder::create(dir.path());
        ASSERT_TRUE(profile::writeString("CH1", "COMPORT", sim.port(), "smsset.ini"));
        dm = std::make_unique<TDataModule1>();
        DataModule1 = dm.get();
        engineclock::setScale(0.1);
        resetEngineGlobals();
        engine::setReports(&reports);
        startEngine();
    }
    void TearDown() override
    {
        stopEngine();
        engine::setReports(nullptr);
        DataModule1 = nullptr;
        dm.reset();
        resetEngineGlobals();
        engineclock::setScale(1.0);
    }

    // The gateway "GW01" on the simulator's port and its drive thread.
    void startEngine()
    {
        gateway = std::make_unique<TGateWay>();
        gateway->Host = &reports;
        gateway->Init("GW01");
        channel = gateway->Channels[1].get();
        ctr = channel->ChannelCtr.get();
        drive = std::make_unique<TDriveThread>(gateway.get());
        drive->Start();
    }
    // The engine goes as a killed program's does: whatever it was doing is
    // dropped, nothing is written on the way out.
    void stopEngine()
    {
        if (drive) {
            drive->RequestStop();
            drive->Join();
        }
        engine::flushReports();
        drive.reset();
        gateway.reset();
        channel = nullptr;
        ctr = nullptr;
    }

    void waitSettled()
    {
        ASSERT_NE(channel, nullptr) << "the engine was not started";
        ASSERT_TRUE(waitUntil([&] { return settled(*channel); })) << sim.log();
    }

    // Queues a message as the send path does.
    void queueSend(const std::string &da, const std::string &text, const std::string &sca = "13800210500")
    {
        channel->QueueSend(TEasyLinkCtr::MakeSendPdu(sca, da, text));
    }
    int sendQueueSize()
    {
        return locked([&] { return static_cast<int>(channel->SendQueue.size()); });
    }

    std::vector<std::string> column(const std::string &sql, const char *field) { return ::column(*dm, sql, field); }
    std::string smsLog() const { return dir.read(smslog::kFileName); }

    ModemSim sim;
    WorkDir dir;
    std::unique_ptr<TDataModule1> dm;
    RecordingReports reports;
    std::unique_ptr<TGateWay> gateway;
    TSMSChannel *channel = nullptr;
    TChannelCtr *ctr = nullptr;
    std::unique_ptr<TDriveThread> drive;
};

// The engine host as the program runs it, against the modem simulator, in
// a work folder with a new database and "smsset.ini" naming the simulator's
// port; the test starts it. Time runs at 1/10.
class HostedEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.started()) << sim.errorOutput();
        workfolder::create(dir.path());
        dir.write("smsset.ini", iniText(sim.port()));
        dm = std::make_unique<TDataModule1>();
        DataModule1 = dm.get();
        engineclock::setScale(0.1);
        resetEngineGlobals();
    }
    void TearDown() override
    {
        host.reset();
        DataModule1 = nullptr;
        dm.reset();
        resetEngineGlobals();
        engineclock::setScale(1.0);
    }

    std::vector<std::string> column(const std::string &sql, const char *field) { return ::column(*dm, sql, field); }

    ModemSim sim;
    WorkDir dir;
    std::unique_ptr<TDataModule1> dm;
    std::unique_ptr<TEngineHost> host = std::make_unique<TEngineHost>();
};
