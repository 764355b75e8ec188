// The command protocol over real loopback sockets: READ, QUERY and CMD,
// chunks that are not commands, and clients that misbehave.

#include "GatewayFixture.h"

#include <QBuffer>
#include <QTcpServer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const std::string kFirstRead = gbk::fromUtf8("OA:+8613513254678 TIME:12-5-3 14:7:9:32 UD:你好");
const std::string kSecondRead = gbk::fromUtf8("OA:+8613912345678 TIME:12-5-3 14:8:0:32 UD:第二条");

using CmppProtocolTest = CmppTest;

TEST_F(CmppProtocolTest, QueryWithNothingReceivedIsZeroAndReadIsEmpty)
{
    TcpClient client(port());
    ASSERT_TRUE(client.connected());
    EXPECT_EQ(client.ask("DavoRodu:QUERY", 1), "0");
    EXPECT_EQ(client.ask("DavoRodu:READ", 5), "EMPTY");
    settle(port());
    EXPECT_EQ(client.pending(), ""); // bare replies: no terminator follows
}

TEST_F(CmppProtocolTest, ReadTakesTheOldestFirstAndQueryCountsWhatIsLeft)
{
    receive(kFirstDeliver);
    receive(kSecondDeliver);
    TcpClient client(port());
    EXPECT_EQ(client.ask("DavoRodu:QUERY", 1), "2");
    EXPECT_EQ(client.ask("DavoRodu:READ", kFirstRead.size()), kFirstRead);
    EXPECT_EQ(client.ask("DavoRodu:QUERY", 1), "1");
    EXPECT_EQ(client.ask("DavoRodu:READ", kSecondRead.size()), kSecondRead);
    EXPECT_EQ(client.ask("DavoRodu:READ", 5), "EMPTY");
    EXPECT_EQ(received(), 0);
}

TEST_F(CmppProtocolTest, TextAfterTheWordIsIgnored)
{
    receive(kFirstDeliver);
    receive(kSecondDeliver);
    TcpClient client(port());
    EXPECT_EQ(client.ask("DavoRodu:QUERY how many?", 1), "2");
    EXPECT_EQ(client.ask("DavoRodu:READING", kFirstRead.size()), kFirstRead);
    settle(port());
    EXPECT_EQ(client.pending(), "");
    EXPECT_EQ(received(), 1);
}

TEST_F(CmppProtocolTest, CommandsWrittenBackToBackAreEachServedInOrder)
{
    receive(kFirstDeliver);
    receive(kSecondDeliver);
    TcpClient client(port());
    // "DavoRodu:" starts a new command only before a command word.
    const std::string replies = "2" + kFirstRead + "1";
    EXPECT_EQ(client.ask("DavoRodu:QUERY DavoRodu: DavoRodu:HELLODavoRodu:READDavoRodu:QUERY", replies.size()),
              replies);
    settle(port());
    EXPECT_EQ(client.pending(), "");
    EXPECT_EQ(received(), 1);
}

TEST_F(CmppProtocolTest, ChunksThatAreNotCommandsGetNoReplyAndChangeNothing)
{
    receive(kFirstDeliver);
    const std::vector<std::string> chunks = {
        "davorodu:READ", " DavoRodu:READ", "DavoRodu: READ",
        "DavoRodu:read", "DavoRodu:HELLO", "DavoRodu:",
        "DavoRodu",      "READ",           std::string("\0\xff\xfe DavoRodu:READ", 17),
    };
    for (const std::string &chunk : chunks) {
        SCOPED_TRACE(chunk);
        TcpClient client(port());
        client.send(chunk);
        settle(port());
        EXPECT_EQ(client.pending(), "");
        EXPECT_EQ(client.ask("DavoRodu:QUERY", 1), "1");
    }
    EXPECT_EQ(received(), 1);
}

TEST_F(CmppProtocolTest, CmdHidesOnOneShowsOnTwoAndIsNeverAnswered)
{
    TcpClient client(port());
    client.send("DavoRodu:CMD INDEX:1");
    settle(port());
    EXPECT_EQ(reports.hides, 1);
    client.send("DavoRodu:CMD xyz INDEX:2 INDEX:1");
    settle(port());
    EXPECT_EQ(reports.shows, 1);
    client.send("DavoRodu:CMD INDEX:3");
    settle(port());
    EXPECT_EQ(client.pending(), "");
    EXPECT_EQ(reports.hides, 1);
    EXPECT_EQ(reports.shows, 1);
}

TEST_F(CmppProtocolTest, CmdWithoutAnIndexDigitIsIgnoredWithoutABox)
{
    for (const std::string chunk : {"DavoRodu:CMD", "DavoRodu:CMD INDEX:x",
                                    "DavoRodu:CMD INDEX:", "DavoRodu:CMD INDEX: 1", "DavoRodu:CMDINDEX1"}) {
        SCOPED_TRACE(chunk);
        TcpClient client(port());
        client.send(chunk);
        settle(port());
        EXPECT_EQ(client.pending(), "");
    }
    EXPECT_EQ(reports.hides + reports.shows, 0);
}

TEST_F(CmppProtocolTest, ClientsAreServedApartAndWithoutState)
{
    receive(kFirstDeliver);
    std::vector<std::unique_ptr<TcpClient>> clients;
    for (int i = 0; i < 20; ++i)
        clients.push_back(std::make_unique<TcpClient>(port()));
    // Half a command on one client does not combine with the next chunk.
    clients[0]->send("DavoRodu:QU");
    settle(port());
    clients[0]->send("ERY");
    settle(port());
    EXPECT_EQ(clients[0]->pending(), "");
    for (auto &c : clients)
        EXPECT_EQ(c->ask("DavoRodu:QUERY", 1), "1");
    clients[3]->close();
    EXPECT_EQ(clients[4]->ask("DavoRodu:READ", kFirstRead.size()), kFirstRead);
    EXPECT_EQ(clients[5]->ask("DavoRodu:QUERY", 1), "0");
}

TEST_F(CmppProtocolTest, AReadWhoseReplyCannotBeWrittenKeepsTheMessage)
{
    receive(kFirstDeliver);
    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    gateway->CMPPSet->EasyLinkCtr->DoCommand("DavoRodu:READ", &readOnly);
    QTcpSocket gone;
    gateway->CMPPSet->EasyLinkCtr->DoCommand("DavoRodu:READ", &gone);
    gateway->CMPPSet->EasyLinkCtr->DoCommand("DavoRodu:QUERY", &gone);
    EXPECT_EQ(received(), 1);

    // A client that resets right after its READ: the reply fails only once
    // the socket's buffer goes out.
    for (int i = 0; i < 3; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port());
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to), 0);
        ASSERT_EQ(::write(fd, "DavoRodu:READ", 13), 13);
        const linger reset{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        ::close(fd);
        settle(port());
    }
    EXPECT_EQ(received(), 1);
    TcpClient client(port());
    EXPECT_EQ(client.ask("DavoRodu:READ", kFirstRead.size()), kFirstRead);
}

TEST_F(CmppProtocolTest, AChunkIsCutAt64KiBAndTheRestDropped)
{
    QByteArray bytes(100 * 1024, 'x');
    bytes.replace(0, 13, "DavoRodu:CMD ");
    bytes.replace(70 * 1024, 7, "INDEX:1");
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const std::string chunk = TCMPPSet::ReadChunk(buffer);
    EXPECT_EQ(chunk.size(), 64u * 1024);
    EXPECT_EQ(chunk.compare(0, 13, "DavoRodu:CMD "), 0);
    EXPECT_EQ(buffer.bytesAvailable(), 0);

    // Over a socket the flood may come in pieces; none of them is a command
    // and the server keeps serving.
    TcpClient flood(port());
    flood.send(bytes.toStdString() + std::string(1 << 20, 'y'));
    settle(port());
    EXPECT_EQ(flood.pending(), "");
    flood.close();
    TcpClient next(port());
    EXPECT_EQ(next.ask("DavoRodu:QUERY", 1), "0");
    EXPECT_EQ(reports.hides, 0);
}

TEST_F(CmppProtocolTest, ATakenPortLeavesTheSendPathWorking)
{
    QTcpServer other;
    ASSERT_TRUE(other.listen(QHostAddress(QHostAddress::LocalHost), 0));
    const TCMPPSet::Endpoint saved = TCMPPSet::ListenOn;
    TCMPPSet::ListenOn.Port = other.serverPort();
    TGateWay second;
    second.Host = &reports;
    second.Init("GW02");
    TCMPPSet::ListenOn = saved;
    engine::flushReports();
    EXPECT_EQ(second.CMPPSet->Port(), 0);
    EXPECT_TRUE(reports.logHas("命令端口" + std::to_string(other.serverPort()) + "打开失败"));
    second.CMPPSet->EasyLinkCtr->SendSMS("", "13912345678", "hi");
    EXPECT_EQ(locked([&] { return second.Channels[1]->SendQueue.size(); }), 1u);
}

} // namespace
