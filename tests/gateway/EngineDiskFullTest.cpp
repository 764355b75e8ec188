// The queue files on a full disk: nothing sent or read comes back after a
// restart, a message that cannot be put on disk is kept in memory, said and
// saved once there is room, a desk's row is not taken, and the end says
// what is lost.

#include "EngineFilesFixture.h"
#include "SmallDisk.h"

#include <cstdio>

namespace {

constexpr int kDiskKiB = 512;

class EngineDiskFullTest : private smalldisk::TSmallDiskFolder, public EngineFilesTest {};

std::vector<std::string> senders(TSMSChannel &channel)
{
    std::vector<std::string> out;
    EngineLock lock;
    for (const auto &pdu : channel.RecvList)
        out.push_back(pdu->GetOA());
    return out;
}

TEST_F(EngineDiskFullTest, MessagesSentOrReadWhileTheDiskIsFullNeverComeBackAfterARestart)
{
    ON_SMALL_DISK(kDiskKiB);
    ASSERT_TRUE(host->Start().empty());
    for (const char *text : {"你好", "二", "你好"})
        ASSERT_TRUE(host->Send("13912345678", text));
    receive(channel(), kFirstDeliver);
    receive(channel(), kSecondDeliver);
    ASSERT_TRUE(waitUntil([&] { return dir.read("ReadBuf.TXT") == kFirstDeliver + "\r\n" + kSecondDeliver + "\r\n"; }));

    smalldisk::fill();
    {
        EngineLock lock; // the head sent, the oldest read
        channel().SendQueue.pop_front();
        channel().RecvList.pop_front();
        channel().QueuesChanged();
    }
    EXPECT_TRUE(waitUntil([&] { return dir.read("SendBuf.TXT") == kSecondSubmit + "\r\n" + kHelloPdu + "\r\n"; }))
        << dir.read("SendBuf.TXT");
    EXPECT_TRUE(waitUntil([&] { return dir.read("ReadBuf.TXT") == kSecondDeliver + "\r\n"; }));

    host.reset();
    host = std::make_unique<TEngineHost>();
    ASSERT_TRUE(host->Start().empty());
    EXPECT_EQ(queuedHex(channel()), (std::vector<std::string>{kSecondSubmit, kHelloPdu}));
    EXPECT_EQ(senders(channel()), std::vector<std::string>{"+8613912345678"});
    EXPECT_EQ(logged("队列文件写入失败"), 0);
}

TEST_F(EngineDiskFullTest, AMessageThatCannotBePutOnDiskIsKeptInMemorySaidAndSavedOnceThereIsRoom)
{
    ON_SMALL_DISK(kDiskKiB);
    ASSERT_TRUE(host->Start().empty());
    smalldisk::fill();

    // The desk's row is not taken: it stays "未发" and goes again later.
    const std::vector<std::string> row = {"1", "13912345678", "二"};
    EXPECT_EQ(host->HandOver(row, "13912345678", "二"), TEngineHost::THandOver::NotKept);
    // Anything else goes from memory.
    EXPECT_TRUE(host->Send("13912345678", "你好"));
    receive(channel(), kFirstDeliver);
    EXPECT_EQ(queuedHex(channel()), std::vector<std::string>{kHelloPdu});
    EXPECT_EQ(dir.read("SendBuf.TXT"), "");
    EXPECT_EQ(logged("短信未能保存到SendBuf.TXT，只在内存中等待发送，手机号:+8613912345678"), 1);
    // The writer may find the empty queue's file writable before the send:
    // said again then, once each time.
    EXPECT_TRUE(waitUntil([&] { return logged("队列文件写入失败:ReadBuf.TXT") == 1; }));
    EXPECT_GE(logged("队列文件写入失败:SendBuf.TXT"), 1);
    ASSERT_FALSE(reports.store.empty());
    EXPECT_NE(reports.store.back(), "");

    // Room again: saved without another change, and said.
    ASSERT_EQ(std::remove("filler"), 0);
    EXPECT_TRUE(waitUntil([&] {
        return dir.read("SendBuf.TXT") == kHelloPdu + "\r\n" && dir.read("ReadBuf.TXT") == kFirstDeliver + "\r\n";
    }));
    EXPECT_TRUE(waitUntil([&] {
        return logged("队列文件已写入:SendBuf.TXT") >= 1 && logged("队列文件已写入:ReadBuf.TXT") == 1 &&
               reports.store.back().empty();
    })) << said();
    EXPECT_EQ(host->HandOver(row, "13912345678", "二"), TEngineHost::THandOver::Queued);
}

TEST_F(EngineDiskFullTest, TheEndWhileTheDiskIsFullSaysWhichMessagesAreLost)
{
    ON_SMALL_DISK(kDiskKiB);
    ASSERT_TRUE(host->Start().empty());
    smalldisk::fill();
    ASSERT_TRUE(host->Send("13912345678", "你好"));
    receive(channel(), kFirstDeliver);
    host->Stop();
    std::vector<std::pair<std::string, std::size_t>> lost;
    for (const TQueueStore::TUnsaved &u : host->Unsaved())
        lost.emplace_back(u.file, u.messages);
    EXPECT_EQ(lost, (std::vector<std::pair<std::string, std::size_t>>{{"ReadBuf.TXT", 1}, {"SendBuf.TXT", 1}}));
    EXPECT_EQ(dir.read("SendBuf.TXT"), "");
}

} // namespace
