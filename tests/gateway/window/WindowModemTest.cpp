// The gateway window with the engine on the simulated modem: a hidden window
// keeps sending and receiving, the queue files follow, and SEND over TCP
// reaches the modem piece by piece.

#include "GatewayWindowFixture.h"
#include "data/DM1.h"
#include "data/WorkFolder.h"
#include "support/ModemSim.h"

#include <QLineEdit>
#include <QTreeWidget>

namespace {

class WindowModemTest : public GatewayWindowTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sim.started()) << sim.errorOutput();
        writeIni(sim.port());
        workfolder::create(dir.path());
        dm = std::make_unique<TDataModule1>();
        DataModule1 = dm.get();
        engineclock::setScale(0.1);
        window = open();
        ASSERT_TRUE(QTest::qWaitFor([&] { return settled(*channel()); }, 30000)) << sim.log();
    }
    void TearDown() override
    {
        GatewayWindowTest::TearDown();
        DataModule1 = nullptr;
        dm.reset();
        engineclock::setScale(1.0);
    }
    bool sentAll(std::size_t count)
    {
        return QTest::qWaitFor([&] { return queued().empty() && sim.pdus().size() >= count; }, 30000);
    }

    ModemSim sim;
    std::unique_ptr<TDataModule1> dm;
    TFMain *window = nullptr;
};

TEST_F(WindowModemTest, AHiddenWindowKeepsSendingAndReceivingAndTheFilesFollow)
{
    window->close();
    window->MaskEdit1->setText("13912345678");
    window->Edit2->setText("你好");
    window->Button3Click();
    // The centre of "smsset.ini", "+86" taken off and "86" put back.
    ASSERT_TRUE(sentAll(1)) << sim.log();
    EXPECT_EQ(sim.pdus()[0].text, kHelloPdu);
    EXPECT_EQ(sim.pdus()[0].outcome, "sent");
    ASSERT_TRUE(QTest::qWaitFor([&] { return dir.read("SendBuf.TXT").empty(); }, 5000));

    ASSERT_EQ(sim.control("sms " + kFirstDeliver), "OK SM 1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->ListView2->topLevelItemCount() == 1; }, 30000)) << sim.log();
    EXPECT_EQ(window->ListView2->topLevelItem(0)->text(0), QStringLiteral("+8613513254678"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dir.read("ReadBuf.TXT") == kFirstDeliver + "\r\n"; }, 5000));
    EXPECT_FALSE(window->isVisible());

    TcpClient client(port());
    const std::string reply = gbk::fromUtf8("OA:+8613513254678 TIME:12-5-3 14:7:9:32 UD:你好");
    EXPECT_EQ(client.ask("DavoRodu:READ", reply.size()), reply);
}

TEST_F(WindowModemTest, SendReachesTheModemAsOnePduPerPieceInOrder)
{
    std::string seventy, seventyHex;
    for (int i = 0; i < 70; ++i) {
        seventy += "汉";
        seventyHex += "6C49";
    }
    TcpClient client(port());
    client.send(gbk::fromUtf8("DavoRodu:SEND SCA:13900000000 DA:13912345678 UD:" + seventy + "b"));
    ASSERT_TRUE(sentAll(2)) << sim.log();
    const auto pdus = sim.pdus();
    ASSERT_EQ(pdus.size(), 2u);
    EXPECT_EQ(pdus[0].text, "0891683109000000F011000D91683119325476F80008A88C" + seventyHex);
    EXPECT_EQ(pdus[0].length, 155);
    EXPECT_EQ(pdus[1].text, "0891683109000000F011000D91683119325476F80008A8020062");
    EXPECT_EQ(pdus[1].outcome, "sent");
    EXPECT_EQ(window->ListView1->topLevelItemCount(), 1);
    EXPECT_EQ(client.pending(), "");
}

} // namespace
