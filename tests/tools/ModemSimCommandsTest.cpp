// The simulator's AT commands, driven through its pseudo-terminal.
#include "SimFixture.h"

namespace {

using CommandTest = SimTest;

TEST_F(CommandTest, EchoesCommandsAndFramesResultsLikeAModem)
{
    EXPECT_EQ(term_->command("AT"), "AT\r\r\nOK\r\n");
    EXPECT_EQ(term_->command("at"), "at\r\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+NOSUCH"), "AT+NOSUCH\r\r\nERROR\r\n");
    EXPECT_EQ(term_->command("ATX7"), "ATX7\r\r\nERROR\r\n");
    // Noise in front of the prefix is skipped, blanks outside quotes too.
    EXPECT_EQ(term_->command("\x05zAT + CMGF = 0"), "\x05zAT + CMGF = 0\r\r\nOK\r\n");

    EXPECT_EQ(term_->command("ATE0"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT"), "\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+NOSUCH"), "\r\nERROR\r\n");
    EXPECT_EQ(term_->command("ATE1"), "\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT"), "AT\r\r\nOK\r\n");
    EXPECT_EQ(sim_.commands().back(), "AT");
}

TEST_F(CommandTest, LineWithoutPrefixGetsNoAnswerAndOverlongLineGetsError)
{
    // The next command's answer follows the echo directly: no answer between.
    term_->write("HELLO\r");
    EXPECT_EQ(term_->command("AT"), "HELLO\rAT\r\r\nOK\r\n");

    const std::string longLine = "AT+CMGR=1" + std::string(600, '0');
    EXPECT_EQ(term_->command(longLine), longLine + "\r\r\nERROR\r\n");
    EXPECT_EQ(term_->command("AT"), "AT\r\r\nOK\r\n");
}

TEST_F(CommandTest, AnswersTheEnginesSetUpCommands)
{
    EXPECT_EQ(term_->command("AT+CNMI=1,1"), "AT+CNMI=1,1\r\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CNMI?"), "AT+CNMI?\r\r\n+CNMI: 1,1,0,0,0\r\n\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CNMI=3,1"), "AT+CNMI=3,1\r\r\n+CMS ERROR: 303\r\n");
    EXPECT_EQ(term_->command("AT+CNMI=x"), "AT+CNMI=x\r\r\nERROR\r\n");
    EXPECT_EQ(term_->command("AT+CMGF=0"), "AT+CMGF=0\r\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CMGF=1"), "AT+CMGF=1\r\r\n+CMS ERROR: 303\r\n");
    EXPECT_EQ(term_->command("AT+GSN"), "AT+GSN\r\r\n351234567890125\r\n\r\nOK\r\n");
}

TEST_F(CommandTest, ResetRestoresPowerOnSettings)
{
    term_->command("AT+CNMI=2,1");
    term_->command("AT+CPMS=\"ME\"");
    term_->command("ATE0");
    EXPECT_EQ(term_->command("ATZ"), "\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CNMI?"), "AT+CNMI?\r\r\n+CNMI: 0,0,0,0,0\r\n\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CPMS?"), "AT+CPMS?\r\r\n+CPMS: \"SM\",1,10,\"SM\",1,10,\"SM\",1,10\r\n\r\nOK\r\n");
}

TEST_F(CommandTest, StoragesAreSeparateAndReadingMarksRead)
{
    EXPECT_EQ(term_->command("AT+CPMS=\"SM\""), "AT+CPMS=\"SM\"\r\r\n+CPMS: 1,10,1,10,1,10\r\n\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CMGR=1"),
              "AT+CMGR=1\r\r\n+CMGR: 0,,28\r\n" + vectors::kDeliver7bit + "\r\n\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CMGR=1"),
              "AT+CMGR=1\r\r\n+CMGR: 1,,28\r\n" + vectors::kDeliver7bit + "\r\n\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CMGR=2"), "AT+CMGR=2\r\r\nOK\r\n");

    EXPECT_EQ(term_->command("AT+CPMS=\"ME\""), "AT+CPMS=\"ME\"\r\r\n+CPMS: 1,20,1,10,1,10\r\n\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CMGR=1"), "AT+CMGR=1\r\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CMGR=2"),
              "AT+CMGR=2\r\r\n+CMGR: 1,,24\r\n" + vectors::kDeliverUcs2 + "\r\n\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CMGR=21"), "AT+CMGR=21\r\r\n+CMS ERROR: 321\r\n");
    EXPECT_EQ(term_->command("AT+CMGR=0"), "AT+CMGR=0\r\r\n+CMS ERROR: 321\r\n");

    EXPECT_EQ(term_->command("AT+CPMS=\"BM\""), "AT+CPMS=\"BM\"\r\r\n+CMS ERROR: 303\r\n");
    EXPECT_EQ(term_->command("AT+CPMS=SM"), "AT+CPMS=SM\r\r\nERROR\r\n");
    EXPECT_EQ(sim_.control("show SM"), "OK 1 10 1:1");
    EXPECT_EQ(sim_.control("show ME"), "OK 1 20 2:1");
}

TEST_F(CommandTest, ListShowsTheReadStoragesMessagesOfAStatus)
{
    // SM 1 unread (kScenario); SM 7 delivered at its index.
    EXPECT_EQ(sim_.control("sms SM:7 " + vectors::kDeliverUcs2), "OK SM 7");
    const std::string first = "+CMGL: 1,0,,28\r\n" + vectors::kDeliver7bit + "\r\n";
    const std::string seventh = "+CMGL: 7,0,,24\r\n" + vectors::kDeliverUcs2 + "\r\n";
    EXPECT_EQ(term_->command("AT+CMGL"), "AT+CMGL\r\r\n" + first + seventh + "\r\nOK\r\n");
    // Listed, so read now.
    EXPECT_EQ(term_->command("AT+CMGL=0"), "AT+CMGL=0\r\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CMGL=4"), "AT+CMGL=4\r\r\n+CMGL: 1,1,,28\r\n" + vectors::kDeliver7bit +
                                               "\r\n+CMGL: 7,1,,24\r\n" + vectors::kDeliverUcs2 + "\r\n\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CPMS=\"ME\""), "AT+CPMS=\"ME\"\r\r\n+CPMS: 1,20,2,10,2,10\r\n\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CMGL=1"),
              "AT+CMGL=1\r\r\n+CMGL: 2,1,,24\r\n" + vectors::kDeliverUcs2 + "\r\n\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CMGL=2"), "AT+CMGL=2\r\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CMGL=5"), "AT+CMGL=5\r\r\n+CMS ERROR: 303\r\n");

    EXPECT_EQ(sim_.control("sms SM:7 " + vectors::kDeliverUcs2).rfind("ERR index 7 of SM is taken", 0), 0u);
    EXPECT_EQ(sim_.control("sms ME:21 " + vectors::kDeliverUcs2).rfind("ERR index 21 of ME is out of range", 0), 0u);
    EXPECT_EQ(sim_.control("sms ME:x " + vectors::kDeliverUcs2).rfind("ERR", 0), 0u);
}

TEST_F(CommandTest, DeleteEmptiesTheIndexOfTheSelectedStorage)
{
    term_->command("AT+CPMS=\"ME\"");
    EXPECT_EQ(term_->command("AT+CMGD=1"), "AT+CMGD=1\r\r\nOK\r\n"); // empty: OK all the same
    EXPECT_EQ(term_->command("AT+CMGD=2"), "AT+CMGD=2\r\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CMGR=2"), "AT+CMGR=2\r\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CMGD=99"), "AT+CMGD=99\r\r\n+CMS ERROR: 321\r\n");
    EXPECT_EQ(sim_.control("show ME"), "OK 0 20");
    EXPECT_EQ(sim_.control("show SM"), "OK 1 10 1:0");

    // With a delete flag: 1 to 3 spare unread messages, 4 takes everything.
    term_->command("AT+CPMS=\"SM\"");
    sim_.control("sms " + vectors::kDeliver7bit);
    term_->command("AT+CMGR=2");
    EXPECT_EQ(term_->command("AT+CMGD=1,3"), "AT+CMGD=1,3\r\r\nOK\r\n");
    EXPECT_EQ(sim_.control("show SM"), "OK 1 10 1:0");
    EXPECT_EQ(term_->command("AT+CMGD=1,4"), "AT+CMGD=1,4\r\r\nOK\r\n");
    EXPECT_EQ(sim_.control("show SM"), "OK 0 10");
    EXPECT_EQ(term_->command("AT+CMGD=1,5"), "AT+CMGD=1,5\r\r\n+CMS ERROR: 303\r\n");
}

TEST_F(CommandTest, PhoneBookGivesNamesAsHexUcs2)
{
    EXPECT_EQ(term_->command("AT+CPBR=1"), "AT+CPBR=1\r\r\n+CPBR: 1,\"+8613800138000\",145,\"5F204E09\"\r\n\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CPBR=2"), "AT+CPBR=2\r\r\n+CPBR: 2,\"10086\",129,\"\"\r\n\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CPBR=3"), "AT+CPBR=3\r\r\n+CPBR: 3,\"13912345678\",129,\"NOT HEX\"\r\n\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CPBR=4"), "AT+CPBR=4\r\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CPBR=2,9"), "AT+CPBR=2,9\r\r\n+CPBR: 2,\"10086\",129,\"\"\r\n"
                                             "+CPBR: 3,\"13912345678\",129,\"NOT HEX\"\r\n\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CPBR=61"), "AT+CPBR=61\r\r\nERROR\r\n");
    EXPECT_EQ(term_->command("AT+CPBR=0"), "AT+CPBR=0\r\r\nERROR\r\n");
}

TEST_F(CommandTest, VoiceCallIsDialledListedAndEnded)
{
    EXPECT_EQ(term_->command("AT+CLCC"), "AT+CLCC\r\r\nOK\r\n");
    EXPECT_EQ(term_->command("ATDT13800138000;"), "ATDT13800138000;\r\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CLCC"), "AT+CLCC\r\r\n+CLCC: 1,0,2,0,0,\"13800138000\",129\r\n\r\nOK\r\n");
    EXPECT_EQ(term_->command("ATDT10086;"), "ATDT10086;\r\r\nERROR\r\n"); // one call at a time
    EXPECT_TRUE(sim_.log().find("EV dial 13800138000") != std::string::npos);

    EXPECT_EQ(sim_.control("hangup"), "OK");
    EXPECT_EQ(term_->readReply(), "\r\nNO CARRIER\r\n");
    EXPECT_EQ(sim_.control("hangup"), "ERR no call");

    EXPECT_EQ(term_->command("ATD+8610086;"), "ATD+8610086;\r\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CLCC"), "AT+CLCC\r\r\n+CLCC: 1,0,2,0,0,\"+8610086\",145\r\n\r\nOK\r\n");
    EXPECT_EQ(term_->command("ATH"), "ATH\r\r\nOK\r\n");
    EXPECT_EQ(term_->command("AT+CLCC"), "AT+CLCC\r\r\nOK\r\n");

    EXPECT_EQ(term_->command("ATDT10086"), "ATDT10086\r\r\nNO CARRIER\r\n"); // data call
    EXPECT_EQ(term_->command("ATDT;"), "ATDT;\r\r\nERROR\r\n");
    EXPECT_EQ(term_->command("ATDT12X3;"), "ATDT12X3;\r\r\nERROR\r\n");
}

} // namespace
