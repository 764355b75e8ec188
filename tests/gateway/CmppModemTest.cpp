// SEND end to end: from a loopback client through the engine to the PDUs the
// simulated modem takes, and a message received by the modem read back over
// TCP.

#include "GatewayFixture.h"
#include "data/DM1.h"
#include "data/WorkFolder.h"
#include "support/ModemSim.h"

namespace {

class CmppModemTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.started()) << sim.errorOutput();
        workfolder::create(dir.path());
        ASSERT_TRUE(profile::writeString("CH1", "COMPORT", sim.port(), "smsset.ini"));
        dm = std::make_unique<TDataModule1>();
        DataModule1 = dm.get();
        engineclock::setScale(0.1);
        engine::setReports(&reports);
        gateway = std::make_unique<TGateWay>();
        gateway->Init("GW01");
        channel = gateway->Channels[1].get();
        drive = std::make_unique<TDriveThread>(gateway.get());
        drive->Start();
        // Initialised, the start-up reads done, nothing running.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return underLock([&] {
                    TChannelCtr *ctr = channel->ChannelCtr.get();
                    return ctr->Ready == 1 && ctr->ReadQueue.empty() && ctr->Current == nullptr;
                });
            },
            30000))
            << sim.log();
    }
    void TearDown() override
    {
        drive->RequestStop();
        drive->Join();
        engine::flushReports();
        engine::setReports(nullptr);
        gateway.reset();
        DataModule1 = nullptr;
        dm.reset();
        engineclock::setScale(1.0);
    }
    bool sentAll(std::size_t count)
    {
        return QTest::qWaitFor(
            [&] { return underLock([&] { return channel->SendQueue.empty(); }) && sim.pdus().size() >= count; },
            30000);
    }
    quint16 port() const { return gateway->CMPPSet->Port(); }

    ModemSim sim;
    WorkDir dir;
    std::unique_ptr<TDataModule1> dm;
    CmppReports reports;
    std::unique_ptr<TGateWay> gateway;
    TSMSChannel *channel = nullptr;
    std::unique_ptr<TDriveThread> drive;
};

TEST_F(CmppModemTest, SendReachesTheModemAsOnePduPerPieceInOrder)
{
    TcpClient client(port());
    client.send(gbk::fromUtf8("DavoRodu:SEND SCA: DA:13912345678 UD:你好"));
    ASSERT_TRUE(sentAll(1)) << sim.log();
    std::string seventy;
    for (int i = 0; i < 70; ++i)
        seventy += "汉";
    client.send(gbk::fromUtf8("DavoRodu:SEND SCA:13900000000 DA:13912345678 UD:" + seventy + "b"));
    ASSERT_TRUE(sentAll(3)) << sim.log();

    const auto pdus = sim.pdus();
    ASSERT_EQ(pdus.size(), 3u);
    EXPECT_EQ(pdus[0].text, "0891683108100005F011000D91683119325476F80008A8044F60597D");
    EXPECT_EQ(pdus[0].length, 19);
    std::string hanHex;
    for (int i = 0; i < 70; ++i)
        hanHex += "6C49";
    EXPECT_EQ(pdus[1].text, "0891683109000000F011000D91683119325476F80008A88C" + hanHex);
    EXPECT_EQ(pdus[2].text, "0891683109000000F011000D91683119325476F80008A8020062");
    for (const auto &p : pdus)
        EXPECT_EQ(p.outcome, "sent");
    EXPECT_EQ(client.pending(), "");
}

TEST_F(CmppModemTest, AMessageTheModemReceivesIsReadOverTcp)
{
    ASSERT_EQ(sim.control("sms " + kFirstDeliver), "OK SM 1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return underLock([&] { return channel->RecvList.size(); }) == 1u; }, 30000))
        << sim.log();
    TcpClient client(port());
    EXPECT_EQ(client.ask("DavoRodu:QUERY", 1), "1");
    const std::string reply = gbk::fromUtf8("OA:+8613513254678 TIME:12-5-3 14:7:9:32 UD:你好");
    EXPECT_EQ(client.ask("DavoRodu:READ", reply.size()), reply);
    EXPECT_EQ(client.ask("DavoRodu:QUERY", 1), "0");
}

} // namespace
