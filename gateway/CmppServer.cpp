#include "gateway/CmppServer.h"

#include "codec/Gbk.h"
#include "gateway/EngineGlobals.h"
#include "gateway/EngineReports.h"
#include "gateway/GateWay.h"
#include "platform/ado/AdoText.h"

#include <QAbstractSocket>
#include <QDateTime>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtGlobal>
#include <algorithm>
#include <exception>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kPrefix = "DavoRodu:";
constexpr qsizetype kUnitsPerMessage = 70;
constexpr std::size_t kSendTextBytes = 160; // taken after "UD:"
constexpr std::size_t kPieceBytes = 140;    // one SendSMS call each

// Blanks and control characters off both ends. GBK trail bytes are never
// below 0x40, so no character is cut.
std::string trimmed(std::string_view s)
{
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    const auto first = std::find_if_not(s.begin(), s.end(), blank);
    const auto last = std::find_if_not(s.rbegin(), s.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

// The text as pieces of at most 70 UTF-16 units, a surrogate pair kept
// whole; an empty text is one empty piece.
std::vector<std::string> textPieces(const std::string &utf8)
{
    const QString all = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    std::vector<std::string> out;
    qsizetype at = 0;
    do {
        qsizetype n = std::min(kUnitsPerMessage, all.size() - at);
        if (n > 1 && at + n < all.size() && all.at(at + n - 1).isHighSurrogate())
            --n;
        out.push_back(all.mid(at, n).toStdString());
        at += n;
    } while (at < all.size());
    return out;
}

// Writes a reply; false when it cannot be handed to the socket.
bool reply(QIODevice *client, const std::string &gbkText)
{
    if (!client || !client->isWritable())
        return false;
    const auto size = static_cast<qint64>(gbkText.size());
    if (client->write(gbkText.data(), size) != size)
        return false;
    if (auto *socket = qobject_cast<QAbstractSocket *>(client))
        socket->flush();
    return true;
}

} // namespace

TCMPPSet::Endpoint TCMPPSet::ListenOn;

TSMSChannel *TEasyLinkCtr::Channel1() const
{
    if (!Owner || !Owner->Owner)
        return nullptr;
    return Owner->Owner->Channels[1].get();
}

void TEasyLinkCtr::SendSMS(const std::string &sca, const std::string &da, const std::string &text)
{
    TSMSChannel *channel = Channel1();
    if (!channel)
        return;
    const std::string centre = sca.empty() ? channel->ServiceCentre() : sca;
    for (const std::string &piece : textPieces(text))
        channel->QueueSend(MakeSendPdu(centre, da, piece));
}

std::unique_ptr<TPDUSend> TEasyLinkCtr::MakeSendPdu(const std::string &sca, const std::string &da,
                                                    const std::string &text)
{
    auto pdu = std::make_unique<TPDUSend>();
    pdu->Tries = 0;
    pdu->SetSCA(sca);
    pdu->FirstOctet = 0x11;
    pdu->MR = 0;
    pdu->SetDA(da);
    pdu->PID = 0;
    pdu->DCS = 8;
    pdu->VP = 0xA8;
    pdu->SetUD(text);
    return pdu;
}

void TEasyLinkCtr::DoCommand(const std::string &chunk, QIODevice *client)
{
    if (chunk.compare(0, kPrefix.size(), kPrefix) != 0)
        return;
    auto word = [&chunk](std::string_view w) { return chunk.find(w) == kPrefix.size(); };
    try {
        if (word("READ"))
            Read(client);
        else if (word("QUERY"))
            Query(client);
        else if (word("CMD"))
            Command(chunk);
        else if (word("SEND"))
            Send(chunk);
    } catch (const std::exception &e) {
        qWarning("Command chunk dropped: %s", e.what());
    } catch (...) {
        qWarning("Command chunk dropped");
    }
}

void TEasyLinkCtr::Read(QIODevice *client)
{
    TSMSChannel *channel = Channel1();
    if (!channel)
        return;
    // RecvList changes only on this thread; the lock keeps the drive
    // thread's view consistent while the head goes.
    EngineLock lock;
    if (channel->RecvList.empty()) {
        reply(client, "EMPTY");
        return;
    }
    const TPDUGet &head = *channel->RecvList.front();
    const std::string text = "OA:" + head.GetOA() + " TIME:" + head.GetSCTS() + " UD:" + head.GetUD();
    // A reply that cannot be written leaves the message for the next READ.
    if (reply(client, gbk::fromUtf8(text))) {
        channel->RecvList.pop_front();
        channel->QueuesChanged();
    }
}

void TEasyLinkCtr::Query(QIODevice *client)
{
    TSMSChannel *channel = Channel1();
    if (!channel)
        return;
    std::size_t count = 0;
    {
        EngineLock lock;
        count = channel->RecvList.size();
    }
    reply(client, std::to_string(count));
}

void TEasyLinkCtr::Command(const std::string &chunk)
{
    const std::size_t at = chunk.find("INDEX:");
    if (at == std::string::npos || at + 6 >= chunk.size())
        return;
    const char c = chunk[at + 6];
    if (c == '1')
        engine::hideWindow();
    else if (c == '2')
        engine::showWindow();
}

void TEasyLinkCtr::Send(const std::string &chunk)
{
    const std::size_t sca = chunk.find("SCA:");
    const std::size_t da = chunk.find("DA:");
    const std::size_t ud = chunk.find("UD:");
    // Missing or out of order: the fields would come from the wrong
    // stretches of the chunk.
    if (sca == std::string::npos || da == std::string::npos || ud == std::string::npos || !(sca < da && da < ud))
        return;
    const std::string centre = trimmed(std::string_view(chunk).substr(sca + 4, da - sca - 4));
    const std::string number = trimmed(std::string_view(chunk).substr(da + 3, ud - da - 3));
    const std::string text = trimmed(gbk::headBytes(std::string_view(chunk).substr(ud + 3), kSendTextBytes));
    const std::string numberText = gbk::toUtf8(number);
    engine::sentRow(numberText, gbk::toUtf8(text), DateTimeToStr(QDateTime::currentDateTime()));
    if (text.empty())
        return;
    const std::string centreText = gbk::toUtf8(centre);
    for (const std::string &piece : gbk::splitBytes(text, kPieceBytes))
        SendSMS(centreText, numberText, gbk::toUtf8(piece));
}

TCMPPSet::TCMPPSet() = default;
TCMPPSet::~TCMPPSet() = default;

bool TCMPPSet::Init()
{
    EasyLinkCtr = std::make_unique<TEasyLinkCtr>();
    EasyLinkCtr->Owner = this;
    Server = std::make_unique<QTcpServer>();
    QTcpServer *server = Server.get();
    QObject::connect(server, &QTcpServer::newConnection, server, [this, server] {
        while (QTcpSocket *client = server->nextPendingConnection()) {
            QObject::connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
            QObject::connect(client, &QTcpSocket::readyRead, client, [this, client] { ServerClientRead(client); });
            ServerClientConnect(client);
            if (client->bytesAvailable() > 0)
                ServerClientRead(client);
        }
    });
    if (server->listen(ListenOn.Address, ListenOn.Port))
        return true;
    engine::logLine("命令端口" + std::to_string(ListenOn.Port) + "打开失败:" + server->errorString().toStdString());
    return false;
}

quint16 TCMPPSet::Port() const { return Server && Server->isListening() ? Server->serverPort() : 0; }

void TCMPPSet::ServerClientConnect(QTcpSocket *) {}

void TCMPPSet::ServerClientRead(QTcpSocket *client)
{
    const std::string chunk = ReadChunk(*client);
    if (!chunk.empty() && EasyLinkCtr)
        EasyLinkCtr->DoCommand(chunk, client);
}

std::string TCMPPSet::ReadChunk(QIODevice &client)
{
    const QByteArray head = client.read(static_cast<qint64>(kMaxChunk));
    while (client.bytesAvailable() > 0) {
        if (client.skip(client.bytesAvailable()) <= 0)
            break;
    }
    return std::string(head.constData(), static_cast<std::size_t>(head.size()));
}
