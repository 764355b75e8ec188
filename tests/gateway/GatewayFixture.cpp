#include "GatewayFixture.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QString>
#include <utility>

namespace {

// Every test of this program listens on a free loopback port: parallel runs
// never collide and nothing is reachable from outside.
class LoopbackCommandPort : public ::testing::Environment {
public:
    void SetUp() override { TCMPPSet::ListenOn = {QHostAddress(QHostAddress::LocalHost), 0}; }
};

[[maybe_unused]] ::testing::Environment *const kLoopback = ::testing::AddGlobalTestEnvironment(new LoopbackCommandPort);

} // namespace

TcpClient::TcpClient(quint16 port)
{
    socket_.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    socket_.waitForConnected(5000);
}

void TcpClient::send(const std::string &bytes)
{
    socket_.write(bytes.data(), static_cast<qint64>(bytes.size()));
    // Events run meanwhile: the server must read for a large write to go.
    EXPECT_TRUE(QTest::qWaitFor([&] { return socket_.bytesToWrite() == 0; }, 10000)) << "write stuck";
}

void TcpClient::pull()
{
    if (socket_.bytesAvailable() == 0)
        socket_.waitForReadyRead(0);
    const QByteArray bytes = socket_.readAll();
    got_.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

std::string TcpClient::ask(const std::string &cmd, std::size_t length)
{
    send(cmd);
    if (!QTest::qWaitFor(
            [&] {
                pull();
                return got_.size() >= length;
            },
            5000))
        return {};
    std::string reply = got_.substr(0, length);
    got_.erase(0, length);
    return reply;
}

std::string TcpClient::pending()
{
    QCoreApplication::processEvents();
    pull();
    return std::exchange(got_, {});
}

void settle(quint16 port)
{
    TcpClient probe(port);
    for (int i = 0; i < 2; ++i) {
        probe.send("DavoRodu:QUERY");
        EXPECT_TRUE(QTest::qWaitFor([&] { return !probe.pending().empty(); }, 5000)) << "no answer to the probe";
    }
}

SubmitFields readSubmit(const std::string &hex)
{
    auto octet = [&](std::size_t i) {
        return i * 2 + 2 <= hex.size() ? std::stoi(hex.substr(i * 2, 2), nullptr, 16) : 0;
    };
    auto digits = [&](std::size_t first, std::size_t count) {
        std::string out;
        for (std::size_t i = 0; i < count; ++i) {
            const int o = octet(first + i);
            for (int nibble : {o & 0xF, o >> 4})
                if (nibble < 10)
                    out += static_cast<char>('0' + nibble);
        }
        return out;
    };
    SubmitFields f;
    const std::size_t scaLen = octet(0);
    f.sca = digits(2, scaLen > 0 ? scaLen - 1 : 0);
    const std::size_t tpdu = 1 + scaLen;
    const std::size_t daDigits = octet(tpdu + 2);
    f.da = digits(tpdu + 4, (daDigits + 1) / 2);
    const std::size_t ud = tpdu + 4 + (daDigits + 1) / 2 + 3;
    f.udl = octet(ud);
    std::u16string units;
    for (int i = 0; i + 1 < f.udl; i += 2)
        units += static_cast<char16_t>(octet(ud + 1 + i) << 8 | octet(ud + 2 + i));
    f.text = QString::fromUtf16(units.data(), static_cast<qsizetype>(units.size())).toStdString();
    return f;
}

void CmppTest::SetUp()
{
    ASSERT_TRUE(profile::writeString("CH1", "COMPORT", dir.file("nomodem"), "smsset.ini"));
    engine::setReports(&reports);
    gateway = std::make_unique<TGateWay>();
    gateway->Host = &reports;
    gateway->Init("GW01");
    channel = gateway->Channels[1].get();
    ASSERT_NE(port(), 0) << (reports.log.empty() ? "" : reports.log.back());
}

void CmppTest::TearDown()
{
    engine::flushReports();
    engine::setReports(nullptr);
    gateway.reset();
}

void receive(TSMSChannel &channel, const std::string &hex)
{
    auto pdu = std::make_unique<TPDUGet>();
    pdu->Decode(hex);
    channel.AddReceived(std::move(pdu));
}

std::vector<std::string> queuedHex(TSMSChannel &channel)
{
    EngineLock lock;
    std::vector<std::string> out;
    for (const auto &pdu : channel.SendQueue) {
        pdu->Encode();
        out.push_back(pdu->Text);
    }
    return out;
}

std::vector<std::string> CmppTest::queuedTexts()
{
    std::vector<std::string> out;
    for (const std::string &hex : queued())
        out.push_back(readSubmit(hex).text);
    return out;
}

void CmppTest::clearQueue()
{
    EngineLock lock;
    channel->SendQueue.clear();
}
