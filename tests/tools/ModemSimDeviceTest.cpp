// The port itself: the line speed rule, the device dropped and back, the
// start from a scenario and a clean stop.
#include "SimFixture.h"

#include <fcntl.h>
#include <filesystem>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class SpeedTest : public SimTest {
protected:
    SpeedTest() : SimTest(9600) {}
};

TEST_F(SpeedTest, AnswersOnlyAtItsConfiguredSpeed)
{
    // The terminal opened at 115200; the modem runs at 9600.
    term_->write("AT\r");
    ASSERT_TRUE(sim_.waitForLog("RX-LOST 115200 \"AT\\r\""));
    EXPECT_EQ(term_->pending(), "");

    term_->setSpeed(9600);
    EXPECT_EQ(term_->command("AT+CNMI=1,1"), "AT+CNMI=1,1\r\r\nOK\r\n");

    term_->setSpeed(57600);
    term_->write("AT\r");
    ASSERT_TRUE(sim_.waitForLog("RX-LOST 57600"));
    // Nor does anything the modem says reach a line at the wrong speed.
    EXPECT_EQ(sim_.control("sms " + vectors::kDeliver7bit), "OK SM 2");
    EXPECT_NE(sim_.log().find("TX-LOST 57600 \"\\r\\n+CMTI:"), std::string::npos);
    EXPECT_EQ(term_->pending(), "");
    EXPECT_EQ(sim_.commands(), std::vector<std::string>{"AT+CNMI=1,1"});
}

using AnySpeedTest = SimTest;

TEST_F(AnySpeedTest, AnswersAtEverySpeedByDefault)
{
    for (unsigned baud : {115200u, 57600u, 9600u}) {
        term_->setSpeed(baud);
        EXPECT_EQ(term_->command("AT"), "AT\r\r\nOK\r\n") << baud;
    }
    EXPECT_NE(sim_.log().find("RX 9600 \"AT\\r\""), std::string::npos);
}

using DeviceTest = SimTest;

TEST_F(DeviceTest, DroppedDeviceHangsUpAndComesBackAtTheSameLinkWithPowerOnState)
{
    term_->command("ATE0");
    term_->command("AT+CPMS=\"ME\"");
    const std::string before = fs::read_symlink(sim_.port());

    EXPECT_EQ(sim_.control("drop"), "OK");
    EXPECT_TRUE(term_->waitHangUp());
    EXPECT_FALSE(fs::is_symlink(sim_.port()));
    EXPECT_FALSE(Terminal(sim_.port()).isOpen());
    // A message that arrives meanwhile is kept by the SIM.
    EXPECT_EQ(sim_.control("sms " + vectors::kDeliver7bit), "OK SM 2");

    EXPECT_EQ(sim_.control("back"), "OK");
    ASSERT_TRUE(fs::is_symlink(sim_.port()));
    Terminal again(sim_.port());
    ASSERT_TRUE(again.isOpen());
    EXPECT_EQ(again.command("AT"), "AT\r\r\nOK\r\n"); // echo on again
    EXPECT_EQ(again.command("AT+CPMS?"), "AT+CPMS?\r\r\n+CPMS: \"SM\",2,10,\"SM\",2,10,\"SM\",2,10\r\n\r\nOK\r\n");
    // The old terminal is still held, so the new pair is another one.
    EXPECT_NE(fs::read_symlink(sim_.port()), before);
}

TEST_F(DeviceTest, TimedDropComesBackByItself)
{
    EXPECT_EQ(sim_.control("drop 100"), "OK");
    EXPECT_TRUE(term_->waitHangUp());
    ASSERT_TRUE(sim_.waitFor([&] { return fs::is_symlink(sim_.port()); }));
    Terminal again(sim_.port());
    EXPECT_EQ(again.command("AT"), "AT\r\r\nOK\r\n");
}

TEST_F(DeviceTest, ModuleThatResetsAtItsPromptDropsAndComesBackAsOftenAsAsked)
{
    EXPECT_EQ(sim_.control("fail prompt 2 x"), "ERR fail prompt takes a count and milliseconds");
    EXPECT_EQ(sim_.control("fail prompt 2 100"), "OK");
    for (int reset = 0; reset < 2; ++reset) {
        term_->write("AT+CMGS=12\r");
        EXPECT_TRUE(term_->waitHangUp()) << reset;
        ASSERT_TRUE(sim_.waitFor([&] { return fs::is_symlink(sim_.port()); })) << reset;
        term_ = std::make_unique<Terminal>(sim_.port());
        ASSERT_TRUE(term_->isOpen());
    }
    EXPECT_EQ(submit(12, vectors::kSubmit), vectors::kSubmit + "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    ASSERT_EQ(sim_.pdus().size(), 1u);
    EXPECT_EQ(sim_.pdus()[0].outcome, "sent");
}

TEST_F(DeviceTest, DropAtTheDeleteGoesBeforeTheDeleteAndComesBackWhenAsked)
{
    EXPECT_EQ(sim_.control("drop cmgd 100"), "OK");
    // Other commands are carried out as before.
    EXPECT_EQ(term_->command("AT+CMGR=1"),
              "AT+CMGR=1\r\r\n+CMGR: 0,,28\r\n" + vectors::kDeliver7bit + "\r\n\r\nOK\r\n");
    // The command after the delete in the same write never reaches the module.
    term_->write("AT+CMGD=1\rAT+CMGD=2\r");
    EXPECT_TRUE(term_->waitHangUp());
    EXPECT_NE(sim_.log().find("fault: the device goes at AT+CMGD"), std::string::npos);
    EXPECT_EQ(sim_.commands().back(), "AT+CMGD=1");
    EXPECT_EQ(sim_.control("show SM"), "OK 1 10 1:1");
    ASSERT_TRUE(sim_.waitFor([&] { return fs::is_symlink(sim_.port()); }));
    Terminal again(sim_.port());
    // Used up: the next delete deletes.
    EXPECT_EQ(again.command("AT+CMGD=1"), "AT+CMGD=1\r\r\nOK\r\n");
    EXPECT_EQ(sim_.control("show SM"), "OK 0 10");
    EXPECT_EQ(sim_.control("drop cmgd soon"), "ERR drop takes milliseconds");
}

TEST_F(DeviceTest, OutputWhileThePortIsClosedIsLostNotQueued)
{
    term_->command("AT+CNMI=1,1");
    term_.reset();
    ASSERT_TRUE(sim_.waitForLog("terminal closed"));
    EXPECT_EQ(sim_.control("sms " + vectors::kDeliver7bit), "OK SM 2");
    EXPECT_NE(sim_.log().find("TX-LOST"), std::string::npos);

    Terminal again(sim_.port());
    EXPECT_EQ(again.command("AT"), "AT\r\r\nOK\r\n");
}

TEST_F(DeviceTest, PromptLeftByAProgramThatWentAwayWaitsForTheNextOne)
{
    EXPECT_EQ(term_->command("AT+CMGS=12"), "AT+CMGS=12\r\r\n> ");
    term_->write("0391");
    EXPECT_EQ(term_->readUntil("0391"), "0391");
    term_.reset();
    ASSERT_TRUE(sim_.waitForLog("terminal closed"));

    // The module still collects the PDU: a command is only more text...
    Terminal again(sim_.port());
    again.write("AT\r");
    EXPECT_EQ(again.readUntil("AT\r", 2000), "AT\r");
    EXPECT_EQ(again.readReply(300), "");
    // ...until ESC cancels it.
    again.write("\x1B");
    EXPECT_EQ(again.readReply(), "\r\nOK\r\n");
    EXPECT_EQ(again.command("AT"), "AT\r\r\nOK\r\n");
    ASSERT_EQ(sim_.pdus().size(), 1u);
    EXPECT_EQ(sim_.pdus()[0].outcome, "cancelled");
    EXPECT_EQ(sim_.pdus()[0].text, "0391AT");
}

// 0 when a process without privileges over the pty (in a user namespace of
// its own) opens path; 1 when it cannot; 2 when no such process can be made.
int openWithoutPrivilege(const std::string &path)
{
    const pid_t child = fork();
    if (child == 0) {
        if (unshare(CLONE_NEWUSER) != 0)
            _exit(2);
        _exit(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK) >= 0 ? 0 : 1);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}

TEST_F(DeviceTest, ProgramKilledWithThePortExclusiveKeepsNobodyOutAndItsLastBytesArrive)
{
    auto seen = [&](const std::string &event, int times) {
        return sim_.waitFor([&] { return sim_.logCount(event) == times; });
    };
    term_->command("AT");
    term_.reset();
    ASSERT_TRUE(seen("terminal closed", 1));
    // What a killed program leaves: exclusive mode on, bytes nobody read yet.
    const int fd = ::open(sim_.port().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    termios raw{};
    tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    tcsetattr(fd, TCSANOW, &raw);
    ASSERT_EQ(ioctl(fd, TIOCEXCL), 0);
    ASSERT_TRUE(seen("terminal opened", 2));
    ASSERT_EQ(::write(fd, "AT+CNMI=1,1\r", 12), 12);
    ::close(fd);
    ASSERT_TRUE(seen("terminal closed", 2));
    EXPECT_EQ(sim_.commands(), (std::vector<std::string>{"AT", "AT+CNMI=1,1"}));

    const int opened = openWithoutPrivilege(sim_.port());
    if (opened == 2)
        GTEST_SKIP() << "no user namespace for the unprivileged open";
    EXPECT_EQ(opened, 0);
}

TEST(ModemSimProcess, StopsCleanlyOnTerminateAndRemovesItsFiles)
{
    ModemSim sim;
    ASSERT_TRUE(sim.started()) << sim.errorOutput();
    const std::string link = sim.port();
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    EXPECT_FALSE(fs::exists(sim.folder() + "/control"));
    EXPECT_NE(sim.log().find("EV stopped"), std::string::npos);
}

TEST(ModemSimProcess, BadScenarioStopsTheStartNamingTheLine)
{
    ModemSim sim(ModemSim::Options{"imei 123\nmessage SM 0 0 00\n", 0});
    EXPECT_FALSE(sim.started());
    EXPECT_NE(sim.errorOutput().find("scenario.txt:2:"), std::string::npos) << sim.errorOutput();
    EXPECT_EQ(sim.stop(), 1);
}

TEST(ModemSimProcess, EmptyStartWithoutScenario)
{
    ModemSim sim;
    ASSERT_TRUE(sim.started());
    Terminal term(sim.port());
    EXPECT_EQ(term.command("AT+CPMS=\"SM\""), "AT+CPMS=\"SM\"\r\r\n+CPMS: 0,30,0,30,0,30\r\n\r\nOK\r\n");
    EXPECT_EQ(term.command("AT+CMGR=1"), "AT+CMGR=1\r\r\nOK\r\n");
    EXPECT_EQ(term.command("AT+CPBR=1"), "AT+CPBR=1\r\r\nOK\r\n");
}

} // namespace
