#pragma once

// Helpers of the command-server and gateway-window tests: a loopback TCP
// client, and the hex of the PDUs the send path builds, read back without
// the engine's codec.

#include "GatewayCommon.h"
#include "codec/Gbk.h"
#include "gateway/smsclasses.h"
#include "platform/text/Profile.h"
#include "support/EngineState.h"
#include "support/WorkDir.h"

#include <QTcpSocket>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

// One connection to the command port on loopback, driven from the main
// thread (the server runs in the same event loop: every wait runs events).
class TcpClient {
public:
    explicit TcpClient(quint16 port);
    bool connected() const { return socket_.state() == QAbstractSocket::ConnectedState; }

    // Writes bytes as one write and waits, running events, until the
    // kernel has them.
    void send(const std::string &bytes);
    // Sends cmd and returns the next `length` bytes that come back ("" when
    // they do not come within 5 s).
    std::string ask(const std::string &cmd, std::size_t length);
    // Bytes received and not yet taken by ask.
    std::string pending();
    void close() { socket_.abort(); }

private:
    void pull();
    QTcpSocket socket_;
    std::string got_;
};

// Makes sure the server has taken every chunk sent before the call: two
// QUERY round trips on a connection of its own.
void settle(quint16 port);

// The fields of an SMS-SUBMIT as the send path writes it, read from its hex
// by the layout alone.
struct SubmitFields {
    std::string sca;  // digits, "86" first
    std::string da;   // digits
    std::string text; // the UCS-2 user data as UTF-8
    int udl = -1;
};
SubmitFields readSubmit(const std::string &hex);

// "smsset.ini" as the engine host's tests write it: the centre
// "+8613800210500" and channel 1 on port.
inline std::string iniText(const std::string &port)
{
    return "[COMMON]\r\nSCA=+8613800210500\r\n\r\n[CH1]\r\nCOMPORT=" + port + "\r\n";
}

// Channel 1 as the tests see it; each takes the engine lock.
void receive(TSMSChannel &channel, const std::string &hex); // decoded into RecvList
std::vector<std::string> queuedHex(TSMSChannel &channel);   // SendQueue encoded, head first
// receivedCount and settled: support/EngineState.h.

// A gateway built in a fresh work folder whose port does not exist, with a
// recording report target; no drive thread, so queued messages stay queued.
class CmppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    quint16 port() const { return gateway->CMPPSet->Port(); }
    void receive(const std::string &hex) { ::receive(*channel, hex); }
    std::vector<std::string> queued() { return queuedHex(*channel); }
    std::vector<std::string> queuedTexts(); // each queued message's text
    void clearQueue();
    int received() { return receivedCount(*channel); }

    WorkDir dir;
    RecordingReports reports{"13800100500"};
    std::unique_ptr<TGateWay> gateway;
    TSMSChannel *channel = nullptr;
};
