// Opening, closing, reopening the port and the errors of each.

#include "SerialFixture.h"

#include "support/OtherUser.h"

#include <cerrno>
#include <sys/stat.h>

TEST(SerialComponent, NewComponentStartsClosedWithTheDefaultLine)
{
    TXComm comm;
    EXPECT_FALSE(comm.Opened());
    EXPECT_EQ(comm.Handle(), comm::INVALID_HANDLE_VALUE);
    EXPECT_EQ(comm.GetLocks(), (TCommLocks{lkSending, lkReading}));
    EXPECT_EQ(comm.BaudRate(), br9600);
    EXPECT_EQ(comm.BaudValue(), 9600u);
    EXPECT_EQ(comm.DeviceName(), "COM2");
    EXPECT_EQ(comm.DataControl()->DataBits(), db8);
    EXPECT_EQ(comm.DataControl()->Parity(), paNone);
    EXPECT_EQ(comm.DataControl()->StopBits(), sb1);
    EXPECT_EQ(comm.Buffers()->InputSize(), 2048);
    EXPECT_EQ(comm.Buffers()->OutputSize(), 2048);
    EXPECT_EQ(comm.Buffers()->InputTimeout(), 500);
    EXPECT_EQ(comm.Buffers()->OutputTimeout(), 500);
    const TCommEventChars &chars = *comm.EventChars();
    EXPECT_EQ(std::string({chars.XonChar(), chars.XoffChar(), chars.EofChar(), chars.ErrorChar(), chars.EventChar()}),
              std::string({17, 19, 0, 0, 10}));
    const TCommTimeoutsEx &t = *comm.Timeouts();
    EXPECT_EQ((std::vector<std::uint32_t>{t.ReadInterval(), t.ReadMultiplier(), t.ReadConstant(), t.WriteMultiplier(),
                                          t.WriteConstant()}),
              (std::vector<std::uint32_t>{1, 0, 1, 0, 1}));
    EXPECT_EQ(comm.MonitorEvents(), (TDeviceEvents{deChar, deFlag, deOutEmpty}));
    EXPECT_TRUE(comm.Synchronize());
    EXPECT_EQ(comm.FlowControl(), fcNone);
    EXPECT_TRUE(comm.Options().Empty());
    EXPECT_TRUE(comm.DTRSettings().Empty());
    EXPECT_TRUE(comm.RTSSettings().Empty());
    EXPECT_TRUE(comm.XOnXOffSettings().Empty());
}

TEST_F(SerialTest, OpenTwiceRaisesCode2AndKeepsTheFirstOpening)
{
    comm.OpenDevice();
    ASSERT_TRUE(comm.Opened());
    comm::HANDLE first = comm.Handle();
    EXPECT_TRUE(comm.GetLocks().Empty());

    std::string message;
    EXPECT_EQ(errorCodeOf([&] { comm.OpenDevice(); }, &message), 2);
    EXPECT_EQ(message, "Device is allready opened.");
    EXPECT_EQ(comm.Handle(), first);
    EXPECT_TRUE(comm.SendString("AT\r"));
    EXPECT_EQ(pty.read(3), "AT\r");
}

TEST_F(SerialTest, CloseOnAClosedPortRaisesCode1AndReopenWorks)
{
    std::string message;
    EXPECT_EQ(errorCodeOf([&] { comm.CloseDevice(); }, &message), 1);
    EXPECT_EQ(message, "Device not opened.");

    comm.OpenDevice();
    comm.CloseDevice();
    EXPECT_FALSE(comm.Opened());
    EXPECT_EQ(comm.EventThread(), nullptr);
    EXPECT_EQ(errorCodeOf([&] { comm.CloseDevice(); }), 1);

    comm.OpenDevice();
    ASSERT_TRUE(comm.Opened());
    EXPECT_TRUE(comm.SendString("ATE0\r"));
    EXPECT_EQ(pty.read(5), "ATE0\r");
    pty.write("OK\r\n");
    ASSERT_TRUE(waitFor([&] { return comm.QueueCount(0) == 4; }));
    std::string reply;
    EXPECT_TRUE(comm.ReadString(reply, 4));
    EXPECT_EQ(reply, "OK\r\n");
}

TEST_F(SerialTest, DeviceNameChangesOnlyWhileClosed)
{
    PtyPair other;
    comm.OpenDevice();
    comm.setDeviceName(other.slavePath());
    EXPECT_EQ(comm.DeviceName(), pty.slavePath());

    comm.CloseDevice();
    comm.setDeviceName(other.slavePath());
    comm.OpenDevice();
    EXPECT_TRUE(comm.SendString("AT\r"));
    EXPECT_EQ(other.read(3), "AT\r");
    EXPECT_EQ(pty.readAvailable(), "");
}

TEST(SerialComponent, AMissingDeviceRaisesCode65535WithItsName)
{
    TXComm comm;
    comm.setDeviceName("ttyNoSuchPort9");
    std::string message;
    EXPECT_EQ(errorCodeOf([&] { comm.OpenDevice(); }, &message), 65535);
    EXPECT_EQ(message, "Cannot open device ttyNoSuchPort9");
    EXPECT_FALSE(comm.Opened());
    EXPECT_EQ(comm.EventThread(), nullptr);
}

TEST_F(SerialTest, APortOpenElsewhereCannotBeOpenedUntilItIsClosed)
{
    TXComm second;
    second.setDeviceName(pty.slavePath());
    comm.OpenDevice();
    EXPECT_EQ(errorCodeOf([&] { second.OpenDevice(); }), 65535);
    EXPECT_FALSE(second.Opened());
    comm.CloseDevice();
    second.OpenDevice();
    EXPECT_TRUE(second.Opened());
}

TEST(SerialComponent, DestroyingAnOpenComponentReleasesThePort)
{
    PtyPair pty;
    QObject owner;
    auto *owned = new TXComm(&owner);
    owned->setDeviceName(pty.slavePath());
    int deliveries = 0;
    owned->setOnData([&](TCustomComm *, std::uint32_t) { ++deliveries; });
    owned->OpenDevice();
    pty.write("RING\r\n");
    // No event loop ran: a delivery may be pending while the owner frees the port.
    delete owned;

    TXComm next;
    next.setDeviceName(pty.slavePath());
    next.OpenDevice();
    EXPECT_TRUE(next.Opened());
    QCoreApplication::processEvents();
    EXPECT_EQ(deliveries, 0);

    auto *child = new TXComm(&owner);
    child->setDeviceName("ttyNoSuchPort9");
    // The owner frees it with itself.
}

namespace {

// The error number and reason that opening path raises, as an unprivileged
// user; 0 and "" when the open succeeds, -1 when the child said nothing.
std::pair<int, std::string> openFailureAsAnotherUser(const std::string &path)
{
    const std::string out = outputAsAnotherUser([&] {
        int systemError = 0;
        try {
            TXComm comm;
            comm.setDeviceName(path);
            comm.OpenDevice();
        } catch (const EDeviceError &e) {
            systemError = e.SystemError();
        }
        return std::to_string(systemError) + " " + deviceErrorReason(systemError);
    });
    const auto blank = out.find(' ');
    if (blank == std::string::npos)
        return {-1, out};
    return {std::stoi(out.substr(0, blank)), out.substr(blank + 1)};
}

} // namespace

TEST_F(SerialTest, AFailedOpenCarriesTheSystemsReasonAndWhatToDo)
{
    TXComm other;
    struct Case {
        std::function<void()> open;
        int systemError;
        const char *reason;
    };
    other.setDeviceName(pty.slavePath());
    const Case cases[] = {
        {[&] {
             other.setDeviceName("ttyNoSuchPort9");
             other.OpenDevice();
         },
         ENOENT, "没有这个串口设备（No such file or directory）"},
        {[&] {
             comm.OpenDevice();
             other.setDeviceName(pty.slavePath());
             other.OpenDevice();
         },
         EBUSY, "串口正被其他程序占用"},
    };
    for (const Case &c : cases) {
        try {
            c.open();
            ADD_FAILURE() << "opened";
        } catch (const EDeviceError &e) {
            EXPECT_EQ(e.ErrorCode(), 65535);
            EXPECT_EQ(e.SystemError(), c.systemError);
            EXPECT_EQ(deviceErrorReason(e.SystemError()).rfind(c.reason, 0), 0u) << deviceErrorReason(e.SystemError());
        }
    }
    comm.CloseDevice();

    // A port the user may not open names the group that may.
    ASSERT_EQ(::chmod(pty.slavePath().c_str(), 0), 0);
    const auto [systemError, reason] = openFailureAsAnotherUser(pty.slavePath());
    EXPECT_EQ(systemError, EACCES) << reason;
    EXPECT_NE(reason.find("dialout"), std::string::npos) << reason;
    EXPECT_EQ(deviceErrorReason(0), "");
}
