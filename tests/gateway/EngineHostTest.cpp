// The engine host with no window at all: started as the program starts it,
// it sends and reads through the simulated modem, its queue files follow,
// and its end writes what is still queued.

#include "EngineSupport.h"

namespace {

using EngineHostTest = HostedEngineTest;

TEST_F(EngineHostTest, SendsOneMessageAndReadsOneWithoutAWindow)
{
    ASSERT_EQ(engine::reports(), nullptr);
    EXPECT_TRUE(host->Start().empty());
    ASSERT_NE(Gateway, nullptr);
    TSMSChannel *channel = Gateway->Channels[1].get();
    ASSERT_TRUE(waitUntil([&] { return settled(*channel); })) << sim.log();

    // The centre of "smsset.ini", "+86" taken off and "86" put back.
    ASSERT_TRUE(host->Send("13912345678", "你好"));
    ASSERT_TRUE(waitUntil([&] { return sim.pdus().size() == 1 && queuedHex(*channel).empty(); })) << sim.log();
    EXPECT_EQ(sim.pdus()[0].text, kHelloPdu);
    EXPECT_EQ(sim.pdus()[0].outcome, "sent");

    ASSERT_EQ(sim.control("sms " + kFirstDeliver), "OK SM 1");
    ASSERT_TRUE(waitUntil([&] { return dir.read("ReadBuf.TXT") == kFirstDeliver + "\r\n"; })) << sim.log();
    EXPECT_EQ(dir.read("SendBuf.TXT"), "");
    TcpClient client(Gateway->CMPPSet->Port());
    const std::string reply = gbk::fromUtf8("OA:+8613513254678 TIME:12-5-3 14:7:9:32 UD:你好");
    EXPECT_EQ(client.ask("DavoRodu:READ", reply.size()), reply);

    // Closing: nothing more is started, and the end writes what waits.
    Gateway->Closing = true;
    ASSERT_TRUE(waitUntil([&] { return channel->IsIdle(); }));
    ASSERT_TRUE(host->Send("13912345678", "你好"));
    host->Stop();
    EXPECT_EQ(Gateway, nullptr);
    EXPECT_EQ(DriveThread, nullptr);
    EXPECT_EQ(dir.read("SendBuf.TXT"), kHelloPdu + "\r\n");
    EXPECT_EQ(dir.read("ReadBuf.TXT"), "");
    EXPECT_FALSE(host->Send("13912345678", "你好"));
}

TEST_F(EngineHostTest, NumbersWithACountryCodeReachTheModemAsTheyAreAndOnesThatAreNoneOrTooLongNever)
{
    EXPECT_TRUE(host->Start().empty());
    TSMSChannel *channel = Gateway->Channels[1].get();
    ASSERT_TRUE(waitUntil([&] { return settled(*channel); })) << sim.log();
    const std::string twentyOne = "139123456781234567890";
    const struct {
        std::string sca, da, address;
    } numbers[] = {
        {"", "+8613912345678", "+8613912345678"},
        {"", "8613912345678", "+8613912345678"},
        {"", twentyOne, ""},
        {"", "13912345678", "+8613912345678"},
        {"", "1391234ABCD", ""},
        {"1380021050X", "13912345678", ""},
        {"", "+447700900123", "+447700900123"},
    };
    std::string chunk;
    std::vector<std::pair<std::string, std::string>> expected;
    for (const auto &n : numbers) {
        chunk += "DavoRodu:SEND SCA:" + n.sca + " DA:" + n.da + " UD:to " + n.da;
        if (!n.address.empty())
            expected.emplace_back(n.address, "to " + n.da);
    }
    TcpClient client(Gateway->CMPPSet->Port());
    client.send(chunk); // one write
    ASSERT_TRUE(waitUntil([&] { return sim.pdus().size() == 4 && queuedHex(*channel).empty(); })) << sim.log();
    std::vector<std::pair<std::string, std::string>> sent;
    for (const ModemSim::Pdu &p : sim.pdus()) {
        EXPECT_EQ(p.outcome, "sent");
        TPDUSend pdu;
        pdu.Decode(p.text);
        EXPECT_EQ(pdu.GetSCA(), "+8613800210500");
        sent.emplace_back(pdu.GetDA(), pdu.GetUD());
    }
    EXPECT_EQ(sent, expected);
    EXPECT_FALSE(host->Send(twentyOne, "hi")); // nor from the window
    EXPECT_TRUE(queuedHex(*channel).empty());
}

TEST_F(EngineHostTest, ACentreNumberInTheIniFileThatIsNoneOrTooLongIsSaidAndTheDefaultTaken)
{
    RecordingReports reports;
    engine::setReports(&reports);
    for (const std::string &sca : {std::string("+86abc"), "+86" + std::string(19, '1')}) {
        ASSERT_TRUE(profile::writeString("COMMON", "SCA", sca, "smsset.ini"));
        host->ReadServiceCentre();
        EXPECT_EQ(host->FSCA(), "13800100500") << sca;
        EXPECT_TRUE(reports.logHas("smsset.ini的中心号码")) << sca;
        EXPECT_TRUE(reports.logHas(sca + "，改用+8613800100500")) << sca;
    }
    // One that fits is taken whole.
    ASSERT_TRUE(profile::writeString("COMMON", "SCA", "+86" + std::string(18, '1'), "smsset.ini"));
    host->ReadServiceCentre();
    EXPECT_EQ(host->FSCA(), std::string(18, '1'));
    engine::flushReports();
    engine::setReports(nullptr);
}

TEST_F(EngineHostTest, AHostNeverStartedSendsNothingAndLeavesTheQueueFilesAlone)
{
    dir.write("ReadBuf.TXT", kFirstDeliver + "\r\n");
    dir.write("SendBuf.TXT", kHelloPdu + "\r\n");
    EXPECT_FALSE(host->Send("13912345678", "你好"));
    EXPECT_TRUE(host->LoadQueues().empty());
    host.reset();
    EXPECT_EQ(dir.read("ReadBuf.TXT"), kFirstDeliver + "\r\n");
    EXPECT_EQ(dir.read("SendBuf.TXT"), kHelloPdu + "\r\n");
    EXPECT_TRUE(sim.commands().empty());
}

} // namespace
