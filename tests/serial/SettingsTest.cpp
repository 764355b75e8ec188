// Setting rules, read-back from the open port and the device control block.

#include "SerialFixture.h"

#include "support/ModemSim.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

TEST(SerialSettings, QueueSizesAreClampedToTheirBounds)
{
    TXComm comm;
    const std::uint16_t bound = IsWinNT4() ? 4096 : 8192;
    TCommBuffers &b = *comm.Buffers();
    b.setInputSize(100);
    EXPECT_EQ(b.InputSize(), 128);
    b.setInputSize(10000);
    EXPECT_EQ(b.InputSize(), bound);
    b.setInputSize(128);
    EXPECT_EQ(b.InputSize(), 128);
    b.setOutputSize(bound);
    EXPECT_EQ(b.OutputSize(), bound);
    b.setOutputSize(0);
    EXPECT_EQ(b.OutputSize(), 128);
}

TEST_F(SerialTest, QueueSizesApplyToTheOpenPortAndReadBackLive)
{
    comm.OpenDevice();
    comm.Buffers()->setInputSize(60000);
    comm.Buffers()->setOutputSize(300);
    comm::COMMPROP prop{};
    ASSERT_TRUE(comm::GetCommProperties(comm.Handle(), &prop));
    EXPECT_EQ(prop.dwCurrentRxQueue, IsWinNT4() ? 4096u : 8192u);
    EXPECT_EQ(prop.dwCurrentTxQueue, 300u);
    EXPECT_EQ(comm.Buffers()->OutputSize(), 300);
}

TEST(SerialSettings, BaudRateSetsBaudValueWhichOnlyCustomAccepts)
{
    TXComm comm;
    comm.setBaudRate(br57600);
    EXPECT_EQ(comm.BaudValue(), 57600u);
    comm.setBaudValue(1234);
    EXPECT_EQ(comm.BaudValue(), 57600u);
    comm.setBaudRate(brCustom);
    EXPECT_EQ(comm.BaudValue(), 57600u);
    comm.setBaudValue(250000);
    EXPECT_EQ(comm.BaudValue(), 250000u);
    EXPECT_EQ(comm.BaudRate(), brCustom);
}

namespace {

// What stty reports as the line speed of the terminal. As root it opens the
// port by name like any user would; others cannot open a port that is open
// exclusively, so they ask through fd, a descriptor opened beforehand.
std::string sttySpeed(const std::string &path, int fd)
{
    const std::string command =
        ::geteuid() == 0 ? "stty -F " + path + " speed 2>&1" : "stty speed <&" + std::to_string(fd) + " 2>&1";
    std::string out;
    if (FILE *p = ::popen(command.c_str(), "r")) {
        char buf[128];
        while (std::fgets(buf, sizeof buf, p))
            out += buf;
        ::pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

} // namespace

// Rates with a speed code of their own are set the classic way, so that stty
// and the standard termios calls see them; the others reach the line in bit/s.
TEST_F(SerialTest, EveryRateReachesTheLineAndRatesWithACodeShowInStty)
{
    struct Case {
        TBaudRate rate;
        std::uint32_t bps;
        speed_t code; // 0: none
    };
    const Case cases[] = {
        {br110, 110, B110},          {br300, 300, B300},          {br600, 600, B600},    {br1200, 1200, B1200},
        {br2400, 2400, B2400},       {br4800, 4800, B4800},       {br9600, 9600, B9600}, {br14400, 14400, 0},
        {br19200, 19200, B19200},    {br38400, 38400, B38400},    {br56000, 56000, 0},   {br57600, 57600, B57600},
        {br115200, 115200, B115200}, {br128000, 128000, 0},       {br256000, 256000, 0}, {brCustom, 230400, B230400},
        {brCustom, 250000, 0},       {brCustom, 921600, B921600},
    };
    const int fd = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    comm.OpenDevice();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.bps);
        comm.setBaudRate(c.rate);
        if (c.rate == brCustom)
            comm.setBaudValue(c.bps);
        EXPECT_EQ(pty.lineSettings().baud, c.bps);
        EXPECT_EQ(comm.BaudValue(), c.bps);
        if (c.code == 0)
            continue;
        termios t{};
        ASSERT_EQ(::tcgetattr(fd, &t), 0);
        EXPECT_EQ(::cfgetospeed(&t), c.code);
        EXPECT_EQ(::cfgetispeed(&t), c.code);
        EXPECT_EQ(sttySpeed(pty.slavePath(), fd), std::to_string(c.bps));
    }
    ::close(fd);

    // The line changes behind the component's back to a rate off the table.
    comm.setBaudRate(br57600);
    EXPECT_EQ(comm.BaudRate(), br57600);
    pty.setBaud(230400);
    EXPECT_EQ(comm.BaudRate(), brCustom);
    EXPECT_EQ(comm.BaudValue(), 230400u);
    pty.setBaud(57600);
    EXPECT_EQ(comm.BaudRate(), brCustom);
    EXPECT_EQ(comm.BaudValue(), 57600u);
}

// A modem that checks the line speed answers a port opened at its speed.
TEST(SerialSettings, AModemThatChecksTheSpeedAnswersAtIt)
{
    ModemSim sim(ModemSim::Options{"", 115200});
    ASSERT_TRUE(sim.started()) << sim.errorOutput();
    for (TBaudRate rate : {br57600, br115200}) {
        TXComm comm;
        comm.setDeviceName(sim.port());
        comm.setBaudRate(rate);
        comm.OpenDevice();
        ASSERT_TRUE(comm.SendString("AT\r"));
        const std::string answer = "AT\r\r\nOK\r\n";
        std::string got;
        if (rate == br115200) {
            EXPECT_TRUE(waitFor([&] { return comm.QueueCount(0) >= answer.size(); }));
            comm.ReadString(got, comm.QueueCount(0));
            EXPECT_EQ(got, answer);
        } else {
            EXPECT_TRUE(sim.waitForLog("RX-LOST 57600"));
            QTest::qWait(100);
            EXPECT_EQ(comm.QueueCount(0), 0u);
        }
    }
}

TEST(SerialSettings, FlowControlDerivesTheLineSets)
{
    TXComm comm;
    comm.setFlowControl(fcRtsCts);
    EXPECT_EQ(comm.RTSSettings(), (TRTSSettings{fsCTSOut, fsRTSHandshake}));
    EXPECT_EQ(comm.DTRSettings(), TDTRSettings{fsDTREnabled});
    EXPECT_TRUE(comm.XOnXOffSettings().Empty());

    comm.setFlowControl(fcDtrDsr);
    EXPECT_EQ(comm.DTRSettings(), (TDTRSettings{fsDSROut, fsDTREnabled}));
    EXPECT_EQ(comm.RTSSettings(), TRTSSettings{fsRTSEnabled});

    comm.setFlowControl(fcSoftware);
    EXPECT_EQ(comm.XOnXOffSettings(), (TXOnXOffSettings{fsInX, fsOutX}));
    EXPECT_TRUE(comm.RTSSettings().Empty());

    // Line sets are ignored unless the flow control is custom.
    comm.setDTRSettings({fsDTRHandshake});
    comm.setRTSSettings({fsRTSEnabled});
    comm.setXOnXOffSettings({});
    EXPECT_EQ(comm.DTRSettings(), TDTRSettings{fsDTREnabled});
    EXPECT_TRUE(comm.RTSSettings().Empty());
    EXPECT_EQ(comm.XOnXOffSettings(), (TXOnXOffSettings{fsInX, fsOutX}));

    comm.setFlowControl(fcNone);
    EXPECT_TRUE(comm.DTRSettings().Empty());
    EXPECT_TRUE(comm.XOnXOffSettings().Empty());

    // Custom keeps the sets as they are.
    comm.setFlowControl(fcRtsCts);
    comm.setFlowControl(fcCustom);
    EXPECT_EQ(comm.RTSSettings(), (TRTSSettings{fsCTSOut, fsRTSHandshake}));
}

TEST(SerialSettings, DtrEnabledAndHandshakeAreNeverBothKept)
{
    TXComm comm;
    comm.setFlowControl(fcCustom);
    comm.setDTRSettings({fsDTREnabled, fsDTRHandshake});
    EXPECT_EQ(comm.DTRSettings(), TDTRSettings{fsDTRHandshake});
    comm.setDTRSettings({fsDTREnabled, fsDTRHandshake, fsDSROut});
    EXPECT_EQ(comm.DTRSettings(), (TDTRSettings{fsDTREnabled, fsDSROut}));

    comm.setOptions({coLeaveDTROpen});
    EXPECT_EQ(comm.DTRSettings(), TDTRSettings{fsDTREnabled});
    comm.setDTRSettings({fsDTRHandshake});
    EXPECT_EQ(comm.DTRSettings(), TDTRSettings{fsDTREnabled});
    comm.setDTRSettings({fsDTREnabled, fsDTRHandshake, fsDSROut});
    EXPECT_EQ(comm.DTRSettings(), (TDTRSettings{fsDTREnabled, fsDSROut}));
}

TEST(SerialSettings, OptionsOnAClosedPortResetTheCustomLineSets)
{
    TXComm comm;
    comm.setFlowControl(fcCustom);
    comm.setDTRSettings({fsDTRHandshake});
    comm.setRTSSettings({fsCTSOut});
    comm.setXOnXOffSettings({fsInX});
    comm.setOptions({coParityCheck});
    EXPECT_EQ(comm.DTRSettings(), TDTRSettings{fsDTREnabled});
    EXPECT_TRUE(comm.RTSSettings().Empty());
    EXPECT_TRUE(comm.XOnXOffSettings().Empty());
}

TEST_F(SerialTest, EngineSettingsGiveTheExpectedControlBlock)
{
    comm.setBaudRate(br57600);
    comm.setFlowControl(fcCustom);
    comm.setDTRSettings({fsDTREnabled});
    comm.Timeouts()->setWriteConstant(20);
    comm.Timeouts()->setWriteMultiplier(20);
    comm.Timeouts()->setReadInterval(100);
    comm.Timeouts()->setReadConstant(20);
    comm.Timeouts()->setReadMultiplier(20);
    comm.OpenDevice();

    comm::DCB dcb;
    ASSERT_TRUE(GetDCB(comm.Handle(), dcb));
    EXPECT_EQ(dcb.DCBlength, 28u);
    EXPECT_EQ(dcb.BaudRate, 57600u);
    std::uint32_t flags;
    std::memcpy(&flags, reinterpret_cast<const char *>(&dcb) + 8, 4);
    EXPECT_EQ(flags, 0x11u) << "fBinary and DTR_CONTROL_ENABLE only";
    EXPECT_EQ(dcb.XonLim, 512);
    EXPECT_EQ(dcb.XoffLim, 512);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, 0);
    EXPECT_EQ(dcb.StopBits, 0);
    EXPECT_EQ(std::string({dcb.XonChar, dcb.XoffChar, dcb.ErrorChar, dcb.EofChar, dcb.EvtChar}),
              std::string({17, 19, 0, 0, 10}));

    comm::COMMTIMEOUTS t{};
    ASSERT_TRUE(comm::GetCommTimeouts(comm.Handle(), &t));
    EXPECT_EQ((std::vector<comm::DWORD>{t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
                                        t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant}),
              (std::vector<comm::DWORD>{100, 20, 20, 20, 20}));

    const PtyPair::LineSettings line = pty.lineSettings();
    EXPECT_EQ(line.baud, 57600u);
    EXPECT_EQ(line.dataBits, 8);
    EXPECT_EQ(line.parity, 'N');
    EXPECT_EQ(line.stopBits, 1);
    EXPECT_FALSE(line.rtsCts);
    EXPECT_FALSE(line.xonOut || line.xonIn);
    EXPECT_EQ(comm.DTRSettings(), TDTRSettings{fsDTREnabled});
    EXPECT_TRUE(comm.RTSSettings().Empty());
}

TEST_F(SerialTest, ChangesWhileOpenReachTheDeviceAtOnce)
{
    comm.OpenDevice();
    comm.setFlowControl(fcRtsCts);
    EXPECT_TRUE(pty.lineSettings().rtsCts);
    EXPECT_EQ(comm.RTSSettings(), (TRTSSettings{fsCTSOut, fsRTSHandshake}));
    comm.setFlowControl(fcSoftware);
    EXPECT_FALSE(pty.lineSettings().rtsCts);
    EXPECT_TRUE(pty.lineSettings().xonOut && pty.lineSettings().xonIn);

    // A pty keeps 8 bits without parity whatever it is told; stop bits it takes.
    comm.DataControl()->setStopBits(sb2);
    EXPECT_EQ(pty.lineSettings().stopBits, 2);
    EXPECT_EQ(comm.DataControl()->StopBits(), sb2);

    // Options: coLeaveDTROpen is frozen while open, the rest applies and reads back.
    comm.setOptions({coLeaveDTROpen, coParityCheck});
    EXPECT_EQ(comm.Options(), TCommOptions{coParityCheck});
    comm.CloseDevice();
    comm.setOptions({coLeaveDTROpen});
    comm.OpenDevice();
    comm.setOptions({});
    EXPECT_EQ(comm.Options(), TCommOptions{coLeaveDTROpen});
    EXPECT_EQ(comm.DTRSettings(), TDTRSettings{fsDTREnabled});
}

TEST_F(SerialTest, RefusedBlocksRaiseTheirCodesAndKeepTheNewValue)
{
    comm.OpenDevice();
    std::string message;
    EXPECT_EQ(errorCodeOf([&] { comm.DataControl()->setDataBits(db4); }, &message), 3);
    EXPECT_EQ(message, "Unable to update device control block.");
    EXPECT_EQ(pty.lineSettings().dataBits, 8);
    EXPECT_EQ(comm.DataControl()->DataBits(), db8); // live

    comm.Timeouts()->setReadInterval(comm::MAXDWORD);
    comm.Timeouts()->setReadMultiplier(comm::MAXDWORD);
    EXPECT_EQ(errorCodeOf([&] { comm.Timeouts()->setReadConstant(comm::MAXDWORD); }, &message), 7);
    EXPECT_EQ(message, "Unable to update Timeouts.");
    EXPECT_EQ(comm.Timeouts()->ReadConstant(), 1u); // live

    comm.CloseDevice();
    EXPECT_EQ(comm.DataControl()->DataBits(), db4);
    EXPECT_EQ(comm.Timeouts()->ReadConstant(), comm::MAXDWORD);

    // Opening applies the refused block first: the port stays open, the rest unapplied.
    EXPECT_EQ(errorCodeOf([&] { comm.OpenDevice(); }), 3);
    EXPECT_TRUE(comm.Opened());
    EXPECT_NE(comm.EventThread(), nullptr);
    comm.CloseDevice();
}

TEST_F(SerialTest, AssigningASettingsObjectCopiesItsValuesAndApplies)
{
    TCommTimeoutsEx timeouts(nullptr);
    timeouts.setReadInterval(100);
    timeouts.setWriteConstant(20);
    TCommBuffers buffers(nullptr);
    buffers.setInputSize(100);
    buffers.setOutputTimeout(50);
    TCommEventChars chars(nullptr);
    chars.setEventChar('>');

    comm.OpenDevice();
    comm.setTimeouts(timeouts);
    comm.setBuffers(buffers);
    comm.setEventChars(chars);
    EXPECT_NE(comm.Timeouts(), &timeouts);
    EXPECT_EQ(comm.Timeouts()->ReadInterval(), 100u);
    EXPECT_EQ(comm.Timeouts()->WriteConstant(), 20u);
    EXPECT_EQ(comm.Buffers()->InputSize(), 128);
    EXPECT_EQ(comm.Buffers()->OutputTimeout(), 50);
    comm::DCB dcb;
    ASSERT_TRUE(GetDCB(comm.Handle(), dcb));
    EXPECT_EQ(dcb.EvtChar, '>');
    EXPECT_EQ(dcb.XonLim, 32);
}

TEST_F(SerialTest, EachEventCharHasItsOwnControlBlockField)
{
    struct Case {
        const char *name;
        void (TCommEventChars::*set)(char);
        char (TCommEventChars::*get)() const;
        char comm::DCB::*field;
        char value;
    };
    const Case cases[] = {
        {"XonChar", &TCommEventChars::setXonChar, &TCommEventChars::XonChar, &comm::DCB::XonChar, '1'},
        {"XoffChar", &TCommEventChars::setXoffChar, &TCommEventChars::XoffChar, &comm::DCB::XoffChar, '2'},
        {"EofChar", &TCommEventChars::setEofChar, &TCommEventChars::EofChar, &comm::DCB::EofChar, '3'},
        {"ErrorChar", &TCommEventChars::setErrorChar, &TCommEventChars::ErrorChar, &comm::DCB::ErrorChar, '4'},
        {"EventChar", &TCommEventChars::setEventChar, &TCommEventChars::EventChar, &comm::DCB::EvtChar, '5'},
    };
    TCommEventChars &chars = *comm.EventChars();
    comm.OpenDevice();
    for (const Case &c : cases)
        (chars.*c.set)(c.value);
    comm::DCB dcb;
    ASSERT_TRUE(GetDCB(comm.Handle(), dcb));
    // Changed behind the component's back: an open port's getters read the port.
    comm::DCB changed = dcb;
    for (const Case &c : cases)
        changed.*c.field = static_cast<char>(c.value + 10);
    ASSERT_TRUE(comm::SetCommState(comm.Handle(), &changed));
    std::vector<char> live;
    for (const Case &c : cases)
        live.push_back((chars.*c.get)());
    comm.CloseDevice();

    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case &c = cases[i];
        SCOPED_TRACE(c.name);
        EXPECT_EQ(dcb.*c.field, c.value) << "applied";
        EXPECT_EQ(live[i], c.value + 10) << "read live";
        EXPECT_EQ((chars.*c.get)(), c.value) << "stored";
    }
}
