// The queue files: loaded at the engine start, rewritten on every change of a
// queue and when the window goes, and matched without regard to case; one
// that cannot be written shows in the status bar, and the end says what it
// loses.

#include "GatewayWindowFixture.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

namespace {

using QueueFilesTest = GatewayWindowTest;

const std::string kSecondSubmit = "0891683108200105F011000D91683119325476F80008A8024E8C"; // "二"

TEST_F(QueueFilesTest, QueuesSurviveARestartAndReloadedMessagesStartTheirTriesAfresh)
{
    TFMain *window = open();
    TEasyLinkCtr &link = *Gateway->CMPPSet->EasyLinkCtr;
    link.SendSMS("", "13912345678", "你好");
    link.SendSMS("", "13912345678", "二");
    locked([&] { return channel()->SendQueue.front()->Tries = 3; });
    window->ReceivedRow("x", "y", "z");
    receive(*channel(), kFirstDeliver);

    end(); // the program end: the window goes, the files are written
    EXPECT_EQ(dir.read("SendBuf.TXT"), kHelloPdu + "\r\n" + kSecondSubmit + "\r\n");
    EXPECT_EQ(dir.read("ReadBuf.TXT"), kFirstDeliver + "\r\n");

    open();
    EXPECT_EQ(queued(), (std::vector<std::string>{kHelloPdu, kSecondSubmit}));
    locked([&] {
        for (const auto &p : channel()->SendQueue)
            EXPECT_EQ(p->Tries, 0);
        return 0;
    });
    ASSERT_EQ(received(), 1);
    EXPECT_EQ(locked([&] { return channel()->RecvList.front()->GetOA(); }), "+8613513254678");
}

TEST_F(QueueFilesTest, ABlankLineInReadBufIsAnEmptyMessageThatReadReturns)
{
    dir.write("ReadBuf.TXT", "\r\n" + kFirstDeliver + "\r\n");
    open();
    ASSERT_EQ(received(), 2);
    TcpClient client(port());
    const std::string empty = "OA: TIME:0-0-0 0:0:0:0 UD:";
    EXPECT_EQ(client.ask("DavoRodu:READ", empty.size()), empty);
    // Written back as it was read, the blank line gone with its message.
    ASSERT_TRUE(QTest::qWaitFor([&] { return dir.read("ReadBuf.TXT") == kFirstDeliver + "\r\n"; }, 5000));
}

TEST_F(QueueFilesTest, AMissingFileIsAnEmptyQueueWithoutABoxAndTheOtherStillLoads)
{
    dir.write("SendBuf.TXT", kHelloPdu + "\n" + kSecondSubmit); // LF ends and no last line end read too
    open();
    EXPECT_EQ(received(), 0);
    EXPECT_EQ(queued().size(), 2u);
    EXPECT_TRUE(boxes.seen().empty());
}

TEST_F(QueueFilesTest, AFileThatCannotBeReadIsReportedAndTheOtherStillLoads)
{
    ASSERT_TRUE(QDir(QString::fromStdString(dir.path())).mkdir("ReadBuf.TXT"));
    dir.write("SendBuf.TXT", kHelloPdu + "\r\n");
    boxes.ok(); // the error box
    open();
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_EQ(boxes.seen()[0].kind, boxes::Kind::Error);
    EXPECT_TRUE(boxes.seen()[0].text.contains(QStringLiteral("ReadBuf.TXT")));
    EXPECT_EQ(queued().size(), 1u);
}

TEST_F(QueueFilesTest, FileNamesAreMatchedWithoutRegardToCase)
{
    dir.write("readbuf.txt", kFirstDeliver + "\r\n");
    dir.write("SENDBUF.txt", kHelloPdu + "\r\n");
    open();
    EXPECT_EQ(received(), 1);
    EXPECT_EQ(queued().size(), 1u);
    end();
    const QStringList files = QDir(QString::fromStdString(dir.path())).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(files, (QStringList{"SENDBUF.txt", "readbuf.txt", "smsset.ini"}));
    EXPECT_EQ(dir.read("readbuf.txt"), kFirstDeliver + "\r\n");
}

TEST_F(QueueFilesTest, EveryChangeOfAQueueRewritesItsFile)
{
    TFMain *window = open();
    window->MaskEdit1->setText("13912345678");
    window->Edit2->setText("你好");
    window->Button3Click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dir.read("SendBuf.TXT") == kHelloPdu + "\r\n"; }, 5000));

    receive(*channel(), kFirstDeliver);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dir.read("ReadBuf.TXT") == kFirstDeliver + "\r\n"; }, 5000));

    TcpClient client(port());
    client.ask("DavoRodu:READ", 10);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dir.read("ReadBuf.TXT").empty(); }, 5000));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(dir.file("ReadBuf.TXT"))));
}

TEST_F(QueueFilesTest, AFileThatCannotBeWrittenShowsInTheStatusBarAndTheEndSaysWhatIsLost)
{
    TFMain *window = open();
    QLabel *panel = window->SBarPanels[4];
    EXPECT_FALSE(panel->isVisible());
    const QString sendBuf = QString::fromStdString(dir.file("SendBuf.TXT"));
    QDir folder(QString::fromStdString(dir.path()));
    ASSERT_TRUE(folder.mkdir("SendBuf.TXT"));
    window->Button3Click(); // goes from memory
    EXPECT_EQ(queued().size(), 1u);
    QTRY_VERIFY(panel->isVisible());
    EXPECT_TRUE(panel->text().contains(QStringLiteral("内存")));
    EXPECT_EQ(window->ListView1->topLevelItemCount(), 1);

    ASSERT_TRUE(folder.rmdir("SendBuf.TXT"));
    QTRY_VERIFY_WITH_TIMEOUT(!panel->isVisible(), 10000);
    EXPECT_EQ(dir.read("SendBuf.TXT"), queued().at(0) + "\r\n");

    ASSERT_TRUE(QFile::remove(sendBuf));
    ASSERT_TRUE(folder.mkdir("SendBuf.TXT"));
    window->Button3Click();
    boxes.ok();
    end();
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_TRUE(boxes.seen()[0].text.contains(QStringLiteral("SendBuf.TXT：2条")))
        << boxes.seen()[0].text.toStdString();
}

} // namespace
