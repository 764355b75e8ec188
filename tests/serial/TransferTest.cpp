// Writing and reading bytes with their time limits, the send/read locks and
// the errors of failed transfers.

#include "SerialFixture.h"

#include <future>
#include <thread>

TEST_F(SerialTest, ReadStringNeedsCountBytesQueuedAndLeavesTheStringOtherwise)
{
    comm.OpenDevice();
    std::string s = "keep";
    EXPECT_FALSE(comm.ReadString(s, 0));
    pty.write("ab");
    ASSERT_TRUE(waitFor([&] { return comm.QueueCount(0) == 2; }));
    EXPECT_FALSE(comm.ReadString(s, 3));
    EXPECT_EQ(s, "keep");
    EXPECT_TRUE(comm.ReadString(s, 2));
    EXPECT_EQ(s, "ab");
    EXPECT_EQ(comm.QueueCount(0), 0u);
    EXPECT_EQ(comm.QueueCount(7), 0u);
}

TEST_F(SerialTest, TransfersOnAClosedPortRaiseCode1)
{
    EXPECT_EQ(errorCodeOf([&] { comm.SendString(""); }), 1);
    char buf[4];
    EXPECT_EQ(errorCodeOf([&] { comm.ReadDataEx(buf, 4, 10); }), 1);
    EXPECT_EQ(errorCodeOf([&] { comm.QueueCount(0); }), 1);
    std::string s;
    EXPECT_EQ(errorCodeOf([&] { comm.ReadString(s, 1); }), 1);

    comm.OpenDevice();
    EXPECT_TRUE(comm.SendString(""));
    EXPECT_EQ(comm.ReadDataEx(buf, 0, 10), 0u);
}

TEST_F(SerialTest, ReadDataExWaitsForLateBytesAndStopsAtItsLimit)
{
    comm.OpenDevice();
    pty.write("abc");
    ASSERT_TRUE(waitFor([&] { return comm.QueueCount(0) == 3; }));
    char buf[16] = {};
    // Three came, ten were asked: the limit ends it.
    EXPECT_EQ(comm.ReadDataEx(buf, 10, 50), 3u);
    EXPECT_EQ(std::string(buf, 3), "abc");

    auto reader = std::async(std::launch::async, [&] {
        std::string out(6, '\0');
        out.resize(comm.ReadDataEx(out.data(), 6, 10000));
        return out;
    });
    pty.write("123");
    pty.write("456");
    EXPECT_EQ(reader.get(), "123456");
}

TEST_F(SerialTest, ASendIntoAQueueThatStaysFullReturnsWhatWasWritten)
{
    comm.OpenDevice();
    std::string data;
    for (int i = 0; data.size() < 300000; ++i)
        data += "line " + std::to_string(i) + "\r\n";
    // Nobody reads the device: the pty fills, and the send ends by its limit.
    // The kernel may still make a little room later; a second send takes it.
    const auto size = static_cast<std::uint32_t>(data.size());
    const std::uint32_t first = comm.SendDataEx(data.data(), size, 200);
    EXPECT_GT(first, 0u);
    const std::uint32_t written = first + comm.SendDataEx(data.data() + first, size - first, 200);
    EXPECT_LT(written, size);

    // Exactly the counted bytes reached the device, in order.
    std::string arrived = pty.read(written, 2000);
    EXPECT_EQ(arrived.size(), written);
    EXPECT_TRUE(arrived == data.substr(0, written));
    EXPECT_EQ(pty.read(1, 100), "");

    // More than the pty holds: SendString says it did not get through.
    EXPECT_FALSE(comm.SendString(data));
}

TEST_F(SerialTest, SendingFromOnSendAndReadingFromOnReadAreRefused)
{
    int sendCode = 0;
    int readCode = 0;
    comm.setOnSend([&](TCustomComm *sender) {
        EXPECT_EQ(sender, &comm);
        EXPECT_TRUE(comm.GetLocks().Contains(lkSending));
        sendCode = errorCodeOf([&] { comm.SendString("again"); });
    });
    comm.setOnRead([&](TCustomComm *) {
        char c;
        readCode = errorCodeOf([&] { comm.ReadData(&c, 1); });
    });
    comm.OpenDevice();
    EXPECT_TRUE(comm.SendString("AT\r"));
    EXPECT_EQ(sendCode, 4);
    EXPECT_EQ(pty.read(3), "AT\r");

    pty.write("OK");
    ASSERT_TRUE(waitFor([&] { return comm.QueueCount(0) == 2; }));
    std::string s;
    EXPECT_TRUE(comm.ReadString(s, 2));
    EXPECT_EQ(readCode, 5);
    EXPECT_TRUE(comm.GetLocks().Empty());

    // A handler that throws passes the error on and leaves the flag cleared.
    comm.setOnSend([](TCustomComm *) { throw std::runtime_error("handler"); });
    EXPECT_THROW(comm.SendString("x"), std::runtime_error);
    EXPECT_TRUE(comm.GetLocks().Empty());
    comm.setOnSend(nullptr);
    EXPECT_TRUE(comm.SendString("y"));
}

TEST_F(SerialTest, AWriteToADeviceThatIsGoneRaisesCode11WithTheSystemText)
{
    comm.OpenDevice();
    pty.closeMaster();
    ASSERT_TRUE(waitFor([&] { return comm.EventThread()->Finished(); }));
    std::string message;
    EXPECT_EQ(errorCodeOf([&] { comm.SendString("AT\r"); }, &message), 11);
    EXPECT_EQ(message, "Unable to write to port. (Win32 error 1167: The device is not connected)");
    EXPECT_TRUE(comm.GetLocks().Empty());
}
