// The gateway window with the engine on the simulated modem: a hidden
// window keeps sending and receiving, and the queue files follow.

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
    }
    void TearDown() override
    {
        GatewayWindowTest::TearDown();
        DataModule1 = nullptr;
        dm.reset();
        engineclock::setScale(1.0);
    }
    bool settled()
    {
        return QTest::qWaitFor(
            [&] {
                return underLock([&] {
                    TChannelCtr *ctr = channel()->ChannelCtr.get();
                    return ctr->Ready == 1 && ctr->ReadQueue.empty() && ctr->Current == nullptr;
                });
            },
            30000);
    }

    ModemSim sim;
    std::unique_ptr<TDataModule1> dm;
};

TEST_F(WindowModemTest, AHiddenWindowKeepsSendingAndReceivingAndTheFilesFollow)
{
    TFMain *window = open();
    ASSERT_TRUE(settled()) << sim.log();
    window->close();

    window->MaskEdit1->setText("13912345678");
    window->Edit2->setText("你好");
    window->Button3Click();
    // The centre of "smsset.ini", "+86" taken off and "86" put back.
    ASSERT_TRUE(QTest::qWaitFor([&] { return sim.pdus().size() == 1u && queued().empty(); }, 30000)) << sim.log();
    EXPECT_EQ(sim.pdus()[0].text, kHelloPdu);
    EXPECT_EQ(sim.pdus()[0].outcome, "sent");
    ASSERT_TRUE(QTest::qWaitFor([&] { return dir.read("SendBuf.TXT").empty(); }, 5000));

    ASSERT_EQ(sim.control("sms " + kFirstDeliver), "OK SM 1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->ListView2->topLevelItemCount() == 1; }, 30000)) << sim.log();
    EXPECT_EQ(window->ListView2->topLevelItem(0)->text(0), QStringLiteral("+8613513254678"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return dir.read("ReadBuf.TXT") == kFirstDeliver + "\r\n"; }, 5000));
    EXPECT_EQ(window->ListView1->topLevelItemCount(), 1);
    EXPECT_FALSE(window->isVisible());
}

} // namespace
