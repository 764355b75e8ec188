// Incoming messages and the faults a test arms through the control channel.
#include "SimFixture.h"

namespace {

using FaultTest = SimTest;

const std::string kCmti = "0D0A2B434D54493A2022534D222C330D0A"; // \r\n+CMTI: "SM",3\r\n

TEST_F(FaultTest, IncomingMessageIsStoredAndAnnouncedAsNewMessageIndicationsAsk)
{
    // Power-on AT+CNMI 0,0: stored, never announced.
    EXPECT_EQ(sim_.control("sms " + vectors::kDeliverUcs2), "OK SM 2");
    EXPECT_EQ(term_->pending(), "");
    // Mode 0 keeps the indication in the module until a mode of 1 or 2 is set.
    EXPECT_EQ(term_->command("AT+CNMI=0,1"), "AT+CNMI=0,1\r\r\nOK\r\n");
    EXPECT_EQ(sim_.control("sms " + vectors::kDeliver7bit), "OK SM 3");
    EXPECT_EQ(term_->pending(), "");
    term_->write("AT+CNMI=1,1\r");
    EXPECT_EQ(term_->readUntil("+CMTI: \"SM\",3\r\n"), "AT+CNMI=1,1\r\r\nOK\r\n\r\n+CMTI: \"SM\",3\r\n");

    EXPECT_EQ(sim_.control("sms ME " + vectors::kDeliver7bit), "OK ME 1");
    EXPECT_EQ(term_->readUntil("\r\n+CMTI: \"ME\",1\r\n"), "\r\n+CMTI: \"ME\",1\r\n");
    EXPECT_EQ(term_->command("AT+CMGR=2"),
              "AT+CMGR=2\r\r\n+CMGR: 0,,24\r\n" + vectors::kDeliverUcs2 + "\r\n\r\nOK\r\n");

    term_->command("AT+CNMI=1,0");
    EXPECT_EQ(sim_.control("sms SM " + vectors::kDeliver7bit), "OK SM 4");
    EXPECT_EQ(term_->command("AT"), "AT\r\r\nOK\r\n");
    EXPECT_EQ(sim_.control("show SM"), "OK 4 10 1:0 2:1 3:0 4:0");

    EXPECT_EQ(sim_.control("sms XX " + vectors::kDeliver7bit), "ERR unknown storage XX");
    EXPECT_EQ(sim_.control("sms SM 123"), "ERR the PDU must be hex text with an even number of digits");
}

TEST_F(FaultTest, FullStorageTakesNoMoreAndBufferedIndicationsCanBeDropped)
{
    term_->command("AT+CNMI=0,1");
    for (int i = 2; i <= 10; ++i)
        ASSERT_EQ(sim_.control("sms " + vectors::kDeliver7bit), "OK SM " + std::to_string(i));
    EXPECT_EQ(sim_.control("sms " + vectors::kDeliver7bit), "ERR storage SM is full");
    // bfr 1: what was kept while mode was 0 is thrown away.
    EXPECT_EQ(term_->command("AT+CNMI=1,1,0,0,1"), "AT+CNMI=1,1,0,0,1\r\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT"), "AT\r\r\nOK\r\n");
}

TEST_F(FaultTest, IndicationWaitsUntilTheSendHasItsResult)
{
    term_->command("AT+CNMI=1,1");
    EXPECT_EQ(term_->command("AT+CMGS=12"), "AT+CMGS=12\r\r\n> ");
    EXPECT_EQ(sim_.control("sms " + vectors::kDeliver7bit), "OK SM 2");
    EXPECT_EQ(term_->pending(), "");
    term_->write(vectors::kSubmit + "\x1A");
    EXPECT_EQ(term_->readUntil("+CMTI: \"SM\",2\r\n"),
              vectors::kSubmit + "\r\n+CMGS: 1\r\n\r\nOK\r\n\r\n+CMTI: \"SM\",2\r\n");
}

TEST_F(FaultTest, ErrorToTheLengthCommandGivesNoPrompt)
{
    EXPECT_EQ(sim_.control("fail cmgs"), "OK");
    EXPECT_EQ(term_->command("AT+CMGS=12"), "AT+CMGS=12\r\r\nERROR\r\n");
    EXPECT_EQ(term_->command("AT+CMGS=12"), "AT+CMGS=12\r\r\n> ");
    term_->write("\x1B");
    term_->readReply();

    EXPECT_EQ(sim_.control("fail cmgs 2 +CMS ERROR: 310"), "OK");
    EXPECT_EQ(term_->command("AT+CMGS=12"), "AT+CMGS=12\r\r\n+CMS ERROR: 310\r\n");
    EXPECT_EQ(term_->command("AT+CMGS=12"), "AT+CMGS=12\r\r\n+CMS ERROR: 310\r\n");
    EXPECT_EQ(submit(12, vectors::kSubmit), vectors::kSubmit + "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    EXPECT_EQ(sim_.control("fail other"), "ERR fail takes cmgs, prompt, taken or pdu");
}

TEST_F(FaultTest, ErrorAfterThePduForAsManyValidPdusAsAsked)
{
    EXPECT_EQ(sim_.control("fail pdu 2"), "OK");
    // A malformed PDU is refused by the module before any network fault.
    EXPECT_EQ(submit(13, vectors::kSubmit), vectors::kSubmit + "\r\n+CMS ERROR: 304\r\n");
    EXPECT_EQ(submit(12, vectors::kSubmit), vectors::kSubmit + "\r\nERROR\r\n");
    EXPECT_EQ(submit(12, vectors::kSubmit), vectors::kSubmit + "\r\nERROR\r\n");
    EXPECT_EQ(submit(12, vectors::kSubmit), vectors::kSubmit + "\r\n+CMGS: 1\r\n\r\nOK\r\n");

    EXPECT_EQ(sim_.control("fail pdu 1 +CMS ERROR: 500"), "OK");
    EXPECT_EQ(submit(12, vectors::kSubmit), vectors::kSubmit + "\r\n+CMS ERROR: 500\r\n");

    std::vector<std::string> outcomes;
    for (const auto &p : sim_.pdus())
        outcomes.push_back(p.outcome);
    EXPECT_EQ(outcomes, (std::vector<std::string>{"rejected", "failed", "failed", "sent", "failed"}));
}

TEST_F(FaultTest, HeldResultComesOnReleaseAfterLinesInjectedMeanwhile)
{
    term_->command("AT+CNMI=1,1");
    EXPECT_EQ(sim_.control("release"), "ERR nothing held");
    EXPECT_EQ(sim_.control("hold"), "OK");
    EXPECT_EQ(term_->command("AT+CMGS=12"), "AT+CMGS=12\r\r\n> ");
    term_->write(vectors::kSubmit + "\x1A");
    EXPECT_EQ(term_->readUntil(vectors::kSubmit), vectors::kSubmit);
    ASSERT_TRUE(sim_.waitForLog("result held"));

    // While the module waits for the network: raw bytes go out at once (and
    // so nothing came before them), an indication waits, typed input is lost.
    EXPECT_EQ(sim_.control("raw " + kCmti), "OK");
    EXPECT_EQ(term_->readUntil("\"SM\",3\r\n"), "\r\n+CMTI: \"SM\",3\r\n");
    EXPECT_EQ(sim_.control("sms " + vectors::kDeliver7bit), "OK SM 2");
    term_->write("AT\r");
    ASSERT_TRUE(sim_.waitFor([&] { return sim_.received().find("AT\r") != std::string::npos; }));

    EXPECT_EQ(sim_.control("release"), "OK");
    EXPECT_EQ(term_->readUntil("+CMTI: \"SM\",2\r\n"), "\r\n+CMGS: 1\r\n\r\nOK\r\n\r\n+CMTI: \"SM\",2\r\n");
    EXPECT_EQ(term_->command("AT"), "AT\r\r\nOK\r\n");
}

TEST_F(FaultTest, ResultHeldForATimeComesByItselfAndInputMeanwhileIsLost)
{
    EXPECT_EQ(sim_.control("hold 0"), "ERR hold takes milliseconds");
    EXPECT_EQ(sim_.control("hold 1000"), "OK");
    EXPECT_EQ(term_->command("AT+CMGS=12"), "AT+CMGS=12\r\r\n> ");
    term_->write(vectors::kSubmit + "\x1A");
    ASSERT_TRUE(sim_.waitForLog("result held"));
    term_->write("AT\r");
    EXPECT_EQ(term_->readUntil("OK\r\n"), vectors::kSubmit + "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    EXPECT_EQ(sim_.control("release"), "ERR nothing held");
    EXPECT_EQ(sim_.commands(), std::vector<std::string>{"AT+CMGS=12"}); // the AT was lost
    EXPECT_EQ(term_->command("AT"), "AT\r\r\nOK\r\n");
}

TEST_F(FaultTest, MutedCommandsGetNeitherEchoNorAnswer)
{
    EXPECT_EQ(sim_.control("mute 2"), "OK");
    term_->write("AT\r");
    term_->write("AT+GSN\r");
    // The third command is answered, and nothing came before its echo.
    EXPECT_EQ(term_->command("AT"), "AT\r\r\nOK\r\n");
    EXPECT_NE(sim_.log().find("EV muted \"AT+GSN\""), std::string::npos);
    EXPECT_EQ(sim_.commands(), std::vector<std::string>{"AT"});
}

TEST_F(FaultTest, GarbageRawAndLongLinesReachTheTerminalUnframed)
{
    EXPECT_EQ(sim_.control("garbage 64"), "OK");
    std::string got;
    sim_.waitFor([&] {
        got += term_->pending();
        return got.size() >= 64;
    });
    EXPECT_EQ(got.size(), 64u);
    EXPECT_EQ(sim_.sent(), got);

    EXPECT_EQ(sim_.control("raw 0D0A3E20"), "OK");
    EXPECT_EQ(term_->readUntil("> "), "\r\n> ");
    EXPECT_EQ(sim_.control("raw 0D0"), "ERR raw takes hex text");

    EXPECT_EQ(sim_.control("longline"), "OK");
    std::string line;
    sim_.waitFor([&] {
        line += term_->pending();
        return line.size() >= 343;
    });
    ASSERT_EQ(line.size(), 2u + 339u + 2u);
    EXPECT_EQ(line.substr(0, 2), "\r\n");
    EXPECT_EQ(line.substr(2, 339).find_first_of("\r\n"), std::string::npos);
    EXPECT_EQ(line.substr(341), "\r\n");

    EXPECT_EQ(sim_.control("longline 1000"), "OK");
    line.clear();
    sim_.waitFor([&] {
        line += term_->pending();
        return line.size() >= 1004;
    });
    EXPECT_EQ(line.size(), 1004u);
    EXPECT_EQ(term_->command("AT"), "AT\r\r\nOK\r\n");
}

TEST_F(FaultTest, JunkLinesGoBetweenTheHeaderAndThePduOfTheNextReadOfAMessage)
{
    EXPECT_EQ(sim_.control("junk RING"), "OK");
    EXPECT_EQ(sim_.control("junk +CMT #$% noise"), "OK");
    EXPECT_EQ(sim_.control("junk"), "ERR junk takes a line");
    // An empty index answers as ever and leaves the junk for the next message.
    EXPECT_EQ(term_->command("AT+CMGR=5"), "AT+CMGR=5\r\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CMGR=1"),
              "AT+CMGR=1\r\r\n+CMGR: 0,,28\r\nRING\r\n+CMT #$% noise\r\n" + vectors::kDeliver7bit + "\r\n\r\nOK\r\n");
    // Once.
    EXPECT_EQ(term_->command("AT+CMGR=1"),
              "AT+CMGR=1\r\r\n+CMGR: 1,,28\r\n" + vectors::kDeliver7bit + "\r\n\r\nOK\r\n");
}

TEST_F(FaultTest, UnknownControlCommandIsRefused)
{
    EXPECT_EQ(sim_.control("explode"), "ERR unknown command");
    EXPECT_EQ(sim_.control("mute many"), "ERR mute takes a count");
    EXPECT_EQ(sim_.control("show XY"), "ERR show takes SM, ME or PB");
    EXPECT_EQ(sim_.control("show PB"), "OK 3 60 1 2 3");
}

} // namespace
