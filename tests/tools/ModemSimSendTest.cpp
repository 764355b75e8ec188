// Submitting messages: the prompt, the length check, the PDU checks and the log.
#include "SimFixture.h"

namespace {

using SendTest = SimTest;

TEST_F(SendTest, SubmitGetsPromptThenReferenceAndIsLogged)
{
    EXPECT_EQ(term_->command("AT+CMGS=12"), "AT+CMGS=12\r\r\n> ");
    term_->write(vectors::kSubmit + "\x1A");
    EXPECT_EQ(term_->readReply(), vectors::kSubmit + "\r\n+CMGS: 1\r\n\r\nOK\r\n");

    EXPECT_EQ(submit(12, vectors::kSubmitDefaultCentre), vectors::kSubmitDefaultCentre + "\r\n+CMGS: 2\r\n\r\nOK\r\n");
    EXPECT_EQ(submit(11, vectors::kSubmitNoValidity), vectors::kSubmitNoValidity + "\r\n+CMGS: 3\r\n\r\nOK\r\n");

    const auto pdus = sim_.pdus();
    ASSERT_EQ(pdus.size(), 3u);
    EXPECT_EQ(pdus[0].outcome, "sent");
    EXPECT_EQ(pdus[0].length, 12);
    EXPECT_EQ(pdus[0].text, vectors::kSubmit);
    EXPECT_EQ(pdus[2].text, vectors::kSubmitNoValidity);
}

TEST_F(SendTest, LengthMustCountTheTpduWithoutTheCentrePart)
{
    // 16 octets in all, 4 of them the centre part: only 12 is right.
    EXPECT_EQ(submit(16, vectors::kSubmit), vectors::kSubmit + "\r\n+CMS ERROR: 304\r\n");
    EXPECT_EQ(submit(13, vectors::kSubmit), vectors::kSubmit + "\r\n+CMS ERROR: 304\r\n");
    EXPECT_EQ(submit(11, vectors::kSubmit), vectors::kSubmit + "\r\n+CMS ERROR: 304\r\n");
    EXPECT_EQ(submit(13, vectors::kSubmitDefaultCentre), vectors::kSubmitDefaultCentre + "\r\n+CMS ERROR: 304\r\n");
    EXPECT_EQ(submit(12, vectors::kSubmit), vectors::kSubmit + "\r\n+CMGS: 1\r\n\r\nOK\r\n");

    const auto pdus = sim_.pdus();
    ASSERT_EQ(pdus.size(), 5u);
    EXPECT_EQ(pdus[0].outcome, "rejected");
    EXPECT_EQ(pdus[0].length, 16);
    EXPECT_EQ(pdus[4].outcome, "sent");
}

TEST_F(SendTest, MalformedPdusAreRejected)
{
    struct Case {
        int length;
        std::string pdu;
    };
    const Case cases[] = {
        {12, "039168F51100049168210008A802004"},    // odd number of digits
        {12, "039168F51100049168210008A80200G1"},   // not hex
        {11, "039168F51100049168210008A80200"},     // user data shorter than its length
        {13, "039168F51100049168210008A802004100"}, // an octet after the user data
        {12, "039168F50400049168210008A8020041"},   // a DELIVER, not a SUBMIT
        {12, "0C9168F51100049168210008A8020041"},   // centre part longer than the PDU
        {12, ""},                                   // nothing
    };
    for (const auto &c : cases)
        EXPECT_EQ(submit(c.length, c.pdu), c.pdu + "\r\n+CMS ERROR: 304\r\n") << c.pdu;
    for (const auto &p : sim_.pdus())
        EXPECT_EQ(p.outcome, "rejected") << p.text;
    // Nothing was sent, so the first good one still gets reference 1.
    EXPECT_EQ(submit(12, vectors::kSubmit), vectors::kSubmit + "\r\n+CMGS: 1\r\n\r\nOK\r\n");
}

TEST_F(SendTest, LengthOutsideTheTpduRangeOrNotANumberIsRefusedAtOnce)
{
    EXPECT_EQ(term_->command("AT+CMGS=0"), "AT+CMGS=0\r\r\n+CMS ERROR: 304\r\n");
    EXPECT_EQ(term_->command("AT+CMGS=165"), "AT+CMGS=165\r\r\n+CMS ERROR: 304\r\n");
    EXPECT_EQ(term_->command("AT+CMGS=twelve"), "AT+CMGS=twelve\r\r\nERROR\r\n");
    EXPECT_EQ(term_->command("AT+CMGS"), "AT+CMGS\r\r\nERROR\r\n");
    EXPECT_TRUE(sim_.pdus().empty());
}

TEST_F(SendTest, EscapeCancelsAndTheModemTakesCommandsAgain)
{
    EXPECT_EQ(term_->command("AT+CMGS=12"), "AT+CMGS=12\r\r\n> ");
    term_->write("039168F5\x1B");
    EXPECT_EQ(term_->readReply(), "039168F5\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT"), "AT\r\r\nOK\r\n");

    const auto pdus = sim_.pdus();
    ASSERT_EQ(pdus.size(), 1u);
    EXPECT_EQ(pdus[0].outcome, "cancelled");
    EXPECT_EQ(pdus[0].text, "039168F5");
}

TEST_F(SendTest, PduTypedInPiecesWithLineEndsAndBackspaceIsTakenWhole)
{
    EXPECT_EQ(term_->command("AT+CMGS=12"), "AT+CMGS=12\r\r\n> ");
    term_->write(vectors::kSubmit.substr(0, 10));
    term_->write("X\b\r\n");
    term_->write(vectors::kSubmit.substr(10) + "\x1A");
    EXPECT_NE(term_->readReply().find("\r\n+CMGS: 1\r\n\r\nOK\r\n"), std::string::npos);
    ASSERT_EQ(sim_.pdus().size(), 1u);
    EXPECT_EQ(sim_.pdus()[0].text, vectors::kSubmit);
}

} // namespace
