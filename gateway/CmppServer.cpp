#include "gateway/CmppServer.h"

#include "codec/Gbk.h"
#include "codec/Numbers.h"
#include "codec/Text.h"
#include "gateway/EngineClock.h"
#include "gateway/EngineGlobals.h"
#include "gateway/EngineReports.h"
#include "gateway/GateWay.h"
#include "platform/ado/AdoText.h"

#include <QAbstractSocket>
#include <QDateTime>
#include <QSocketNotifier>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtGlobal>
#include <algorithm>
#include <cerrno>
#include <exception>
#include <string_view>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr qsizetype kUnitsPerMessage = 70;
constexpr std::size_t kSendTextBytes = 160; // taken after "UD:"
constexpr std::size_t kPieceBytes = 140;    // one SendSMS call each
constexpr std::string_view kWords[] = {"READ", "QUERY", "CMD", "SEND"};

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

// Writes a reply; true only once all of it has gone to the peer's
// connection. A socket buffers what it is given, and a client that has reset
// shows only when the buffer is flushed; a reply that cannot go at once is
// dropped with the connection, so the client never gets it late.
bool reply(QIODevice *client, const std::string &gbkText)
{
    if (!client || !client->isWritable())
        return false;
    const auto size = static_cast<qint64>(gbkText.size());
    if (client->write(gbkText.data(), size) != size)
        return false;
    auto *socket = qobject_cast<QAbstractSocket *>(client);
    if (!socket)
        return true;
    while (socket->bytesToWrite() > 0 && socket->flush()) {
    }
    if (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() == 0)
        return true;
    socket->abort();
    return false;
}

} // namespace

namespace cmpp {

std::vector<std::string_view> splitCommands(std::string_view chunk)
{
    std::vector<std::string_view> out;
    if (!chunk.starts_with(kPrefix))
        return out;
    // Where the word after the prefix at `at` ends (right after the prefix
    // when no word follows): no command starts inside another's word.
    auto wordEnd = [&](std::size_t at) {
        const std::string_view rest = chunk.substr(at + kPrefix.size());
        for (std::string_view w : kWords)
            if (rest.starts_with(w))
                return at + kPrefix.size() + w.size();
        return at + kPrefix.size();
    };
    std::size_t start = 0;
    for (std::size_t at = chunk.find(kPrefix, wordEnd(0)); at != std::string_view::npos;
         at = chunk.find(kPrefix, at + 1)) {
        const std::size_t end = wordEnd(at);
        if (end == at + kPrefix.size())
            continue;
        out.push_back(chunk.substr(start, at - start));
        start = at;
        at = end - 1;
    }
    out.push_back(chunk.substr(start));
    return out;
}

TWord wordOf(std::string_view command)
{
    const TWord words[] = {TWord::Read, TWord::Query, TWord::Cmd, TWord::Send};
    if (!command.starts_with(kPrefix))
        return TWord::None;
    for (std::size_t i = 0; i < std::size(kWords); ++i)
        if (command.find(kWords[i]) == kPrefix.size())
            return words[i];
    return TWord::None;
}

char cmdIndex(std::string_view command)
{
    const std::size_t at = command.find("INDEX:");
    return at == std::string_view::npos || at + 6 >= command.size() ? 0 : command[at + 6];
}

std::optional<TSendFields> sendFields(std::string_view command)
{
    const std::size_t sca = command.find("SCA:");
    const std::size_t da = command.find("DA:");
    const std::size_t ud = command.find("UD:");
    // Missing or out of order: the fields would come from the wrong
    // stretches of the command.
    if (sca == std::string_view::npos || da == std::string_view::npos || ud == std::string_view::npos ||
        !(sca < da && da < ud))
        return std::nullopt;
    TSendFields f;
    f.sca = strings::trimmed(command.substr(sca + 4, da - sca - 4));
    f.da = strings::trimmed(command.substr(da + 3, ud - da - 3));
    f.ud = strings::trimmed(gbk::headBytes(command.substr(ud + 3), kSendTextBytes));
    return f;
}

} // namespace cmpp

TCMPPSet::Endpoint TCMPPSet::ListenOn;

TSMSChannel *TEasyLinkCtr::Channel1() const
{
    if (!Owner || !Owner->Owner)
        return nullptr;
    return Owner->Owner->Channels[1].get();
}

std::string TEasyLinkCtr::NumberFault(const std::string &what, const std::string &number)
{
    if (!numbers::validNumber(number))
        return what + "无效";
    if (!numbers::fitsAddress(number))
        return what + "过长，短信地址最多" + std::to_string(numbers::kAddressDigits) + "位数字（含国家码86）";
    return {};
}

std::string TEasyLinkCtr::Centre(const std::string &sca) const
{
    TSMSChannel *channel = Channel1();
    return sca.empty() && channel ? channel->ServiceCentre() : sca;
}

bool TEasyLinkCtr::Refused(const std::string &centre, const std::string &da) const
{
    // Cut to fit, it would go to someone else or through a centre that is none.
    std::string fault = NumberFault("目的号码", da);
    std::string number = da;
    if (fault.empty()) {
        fault = NumberFault("中心号码", centre);
        number = centre;
    }
    if (fault.empty())
        return false;
    engine::logLine(fault + "，短信未发送:" + number);
    return true;
}

bool TEasyLinkCtr::SendSMS(const std::string &sca, const std::string &da, const std::string &text)
{
    TSMSChannel *channel = Channel1();
    if (!channel)
        return false;
    // The centre checked is the one the messages go through.
    const std::string centre = Centre(sca);
    if (Refused(centre, da))
        return false;
    std::vector<std::string> lines;
    // Queued and kept in one hold of the lock, so that the queue files'
    // writer sees every queued message kept. SendQueued, not QueuesChanged:
    // an appended line needs no rewrite of the file.
    EngineLock lock;
    for (const std::string &piece : textPieces(text)) {
        auto pdu = MakeSendPdu(centre, da, piece);
        pdu->Encode();
        lines.push_back(pdu->Text);
        channel->SendQueue.push_back(std::move(pdu));
    }
    if (Owner && Owner->Owner)
        Owner->Owner->SendQueued(lines);
    return true;
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
    for (std::string_view command : cmpp::splitCommands(chunk)) {
        try {
            Run(command, client);
        } catch (const std::exception &e) {
            qWarning("Command dropped: %s", e.what());
        } catch (...) {
            qWarning("Command dropped");
        }
    }
}

void TEasyLinkCtr::Run(std::string_view command, QIODevice *client)
{
    switch (cmpp::wordOf(command)) {
    case cmpp::TWord::Read: Read(client); break;
    case cmpp::TWord::Query: Query(client); break;
    case cmpp::TWord::Cmd: Command(command); break;
    case cmpp::TWord::Send: Send(command); break;
    case cmpp::TWord::None: break;
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

void TEasyLinkCtr::Command(std::string_view command)
{
    const char c = cmpp::cmdIndex(command);
    if (c == '1')
        engine::hideWindow();
    else if (c == '2')
        engine::showWindow();
}

void TEasyLinkCtr::Send(std::string_view command)
{
    const std::optional<cmpp::TSendFields> f = cmpp::sendFields(command);
    if (!f)
        return;
    const std::string numberText = gbk::toUtf8(f->da);
    const std::string centreText = gbk::toUtf8(f->sca);
    if (Refused(Centre(centreText), numberText))
        return;
    engine::sentRow(numberText, gbk::toUtf8(f->ud), DateTimeToStr(QDateTime::currentDateTime()));
    if (f->ud.empty())
        return;
    for (const std::string &piece : gbk::splitBytes(f->ud, kPieceBytes))
        SendSMS(centreText, numberText, gbk::toUtf8(piece));
}

TCMPPSet::TCMPPSet() = default;

TCMPPSet::~TCMPPSet()
{
    // The watch on its socket goes first; its clients go with it, while the
    // count they report to is still here.
    acceptor_.reset();
    acceptRetry_.reset();
    roomCheck_.reset();
    Server.reset();
}

bool TCMPPSet::Init()
{
    EasyLinkCtr = std::make_unique<TEasyLinkCtr>();
    EasyLinkCtr->Owner = this;
    Server = std::make_unique<QTcpServer>();
    QTcpServer *server = Server.get();
    server->setListenBacklogSize(kListenQueue);
    if (!server->listen(ListenOn.Address, ListenOn.Port)) {
        engine::logLine("命令端口" + std::to_string(ListenOn.Port) + "打开失败（" +
                        server->errorString().toStdString() + "）");
        return false;
    }
    // The server only listens; connections are taken here (TakeClients),
    // since it would spin on a waiting one once descriptors run out.
    server->pauseAccepting();
    acceptor_ = std::make_unique<QSocketNotifier>(server->socketDescriptor(), QSocketNotifier::Read);
    QObject::connect(acceptor_.get(), &QSocketNotifier::activated, server, [this] {
        if (Full())
            MakeRoom();
        else
            TakeClients();
    });
    roomCheck_ = std::make_unique<QTimer>();
    roomCheck_->setSingleShot(true);
    QObject::connect(roomCheck_.get(), &QTimer::timeout, server, [this] { TakeClients(); });
    acceptRetry_ = std::make_unique<QTimer>();
    acceptRetry_->setSingleShot(true);
    QObject::connect(acceptRetry_.get(), &QTimer::timeout, server, [this] {
        acceptFailed_ = false;
        TakeClients();
    });
    return true;
}

quint16 TCMPPSet::Port() const { return Server && Server->isListening() ? Server->serverPort() : 0; }

void TCMPPSet::TakeClients()
{
    while (!Full() && !acceptFailed_) {
        const int fd =
            ::accept4(static_cast<int>(Server->socketDescriptor()), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            // EINTR, or a client that went before it was taken: the next one.
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                AcceptFailed();
            break;
        }
        auto *client = new QTcpSocket(Server.get());
        if (!client->setSocketDescriptor(fd)) {
            ::close(fd);
            delete client;
            continue;
        }
        Serve(client);
    }
    // At the cap the watch stays on: a connection that waits there has
    // MakeRoom look for a client to give way.
    acceptor_->setEnabled(!acceptFailed_);
}

void TCMPPSet::MakeRoom()
{
    // Until a client has gone, the same waiting connection must not close
    // another.
    acceptor_->setEnabled(false);
    const TimePoint now = engineclock::Clock::now();
    QTcpSocket *client = LongestSilent();
    // With every client busy, none gives way sooner than a full silence
    // from now.
    const TimePoint givesWayAt = (client ? lastActive_.at(client) : now) + engineclock::scaled(kGiveWayMs);
    if (!client || givesWayAt > now) {
        CheckRoomAt(givesWayAt);
        return;
    }
    // Its leaving takes the waiting connection (ClientGone).
    client->abort();
    client->deleteLater();
}

QTcpSocket *TCMPPSet::LongestSilent() const
{
    QTcpSocket *longest = nullptr;
    TimePoint since = TimePoint::max();
    for (const auto &[client, at] : lastActive_) {
        // A command half taken or an answer still going out is activity.
        if (at < since && client->bytesAvailable() == 0 && client->bytesToWrite() == 0) {
            longest = client;
            since = at;
        }
    }
    return longest;
}

void TCMPPSet::CheckRoomAt(TimePoint at)
{
    const auto wait = std::max(at - engineclock::Clock::now(), TimePoint::duration::zero());
    roomCheck_->start(std::chrono::ceil<std::chrono::milliseconds>(wait));
}

void TCMPPSet::Serve(QTcpSocket *client)
{
    lastActive_[client] = engineclock::Clock::now();
    QObject::connect(client, &QObject::destroyed, Server.get(), [this, client] { ClientGone(client); });
    QObject::connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
    auto *idle = new QTimer(client);
    idle->setSingleShot(true);
    idle->setInterval(std::chrono::duration_cast<std::chrono::milliseconds>(engineclock::scaled(kIdleClientMs)));
    QObject::connect(idle, &QTimer::timeout, client, [client] {
        client->abort();
        client->deleteLater();
    });
    idle->start();
    auto active = [this, client] { lastActive_[client] = engineclock::Clock::now(); };
    QObject::connect(client, &QTcpSocket::bytesWritten, client, active);
    auto read = [this, client, idle, active] {
        idle->start();
        active();
        ServerClientRead(client);
        // The chunk's answers are written by now: silence starts here.
        active();
    };
    QObject::connect(client, &QTcpSocket::readyRead, client, read);
    ServerClientConnect(client);
    if (client->bytesAvailable() > 0)
        read();
}

void TCMPPSet::ClientGone(QTcpSocket *client)
{
    lastActive_.erase(client);
    if (!Server)
        return;
    // Its descriptor is free again.
    acceptFailed_ = false;
    TakeClients();
}

void TCMPPSet::AcceptFailed()
{
    acceptFailed_ = true;
    if (!acceptRetry_->isActive())
        acceptRetry_->start(std::chrono::duration_cast<std::chrono::milliseconds>(engineclock::scaled(kAcceptRetryMs)));
}

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
