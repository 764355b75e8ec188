#pragma once

#include "gateway/EngineClock.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class QIODevice;
class QTcpServer;
class QSocketNotifier;
class QTimer;
class TCMPPSet;
class TGateWay;
class TPDUSend;
class TSMSChannel;

// The TCP command protocol. Other programs connect, write commands and get
// bare GBK text back, without any terminator:
//   "DavoRodu:READ"   the oldest received message, or "EMPTY"
//   "DavoRodu:QUERY"  how many received messages wait, in decimal
//   "DavoRodu:CMD ... INDEX:<d>"  1 hides the gateway window, 2 shows it
//   "DavoRodu:SEND SCA:<n> DA:<n> UD:<text>"  queues the text
// CMD and SEND are not answered. There is no framing: whatever is waiting
// on a socket when it signals data is one chunk. A chunk that begins with
// "DavoRodu:" holds one command, or several written back to back: a new
// command starts wherever "DavoRodu:" is followed by one of the four words.
// The parsing, apart from the engine (main thread or any other):
namespace cmpp {

inline constexpr std::string_view kPrefix = "DavoRodu:";
enum class TWord { None, Read, Query, Cmd, Send };

// The commands of a chunk, in order, each running to the start of the next:
// none when the chunk does not begin with the prefix; otherwise one from the
// start and one more wherever the prefix is followed by READ, QUERY, CMD or
// SEND. They cover the chunk without gap or overlap.
std::vector<std::string_view> splitCommands(std::string_view chunk);
// The word of a command: the one whose first occurrence starts right after
// the prefix (exact case); None for a command without such a word.
TWord wordOf(std::string_view command);
// CMD: the character right after the first "INDEX:"; 0 when there is none.
char cmdIndex(std::string_view command);

// SEND's fields, GBK: the text between "SCA:" and "DA:", between "DA:" and
// "UD:", and at most the 160 bytes after "UD:" (never cutting a double-byte
// character), each trimmed of blanks and control characters at both ends.
struct TSendFields {
    std::string sca, da, ud;
};
// Nothing unless "SCA:", "DA:" and "UD:" each occur and their first
// occurrences stand in this order.
std::optional<TSendFields> sendFields(std::string_view command);

} // namespace cmpp

// The command interpreter and the send path of the engine. Main thread.
class TEasyLinkCtr {
public:
    TCMPPSet *Owner = nullptr;

    // Queues text for da on channel 1 through the centre sca (the host's
    // centre number when sca is empty). A number may be national (as the
    // desk keeps them) or carry its country code ("+8613912345678",
    // "8613912345678", "+447700900123"): the codec makes it international
    // without doubling "86". Text is UTF-8; a text longer than 70 UTF-16
    // units goes as consecutive messages of at most 70 units each, in
    // order, never cutting a surrogate pair; an empty text is one empty
    // message. Once queued, the messages are handed to the gateway's
    // SendQueued (kept on disk) before the call returns. Returns false,
    // queueing nothing, without channel 1 and when da or the centre does not
    // fit an address (Refused, which the log pane then says).
    bool SendSMS(const std::string &sca, const std::string &da, const std::string &text);

    // Why number, named what ("目的号码", "中心号码"), cannot go into an SMS
    // address: what + "无效" (not a number) or what + "过长..." (more digits
    // than an address holds, numbers::fitsAddress); "" when it can.
    static std::string NumberFault(const std::string &what, const std::string &number);

    // One message as SendSMS queues it: an SMS-SUBMIT (first octet 0x11,
    // relative validity 0xA8, not tried yet) of UCS-2 text for da through
    // the centre sca, both taken as they are; text beyond one message is cut.
    static std::unique_ptr<TPDUSend> MakeSendPdu(const std::string &sca, const std::string &da,
                                                 const std::string &text);

    // Runs the commands of one chunk (GBK bytes) in order and writes their
    // replies to client. Anything that is not a well-formed command is
    // ignored without a word, and a reply that cannot be written is dropped
    // (READ then keeps its message): a client can never raise an error on
    // the operator's screen. Never throws.
    void DoCommand(const std::string &chunk, QIODevice *client);

private:
    TSMSChannel *Channel1() const;
    // The centre a message given sca goes through: sca, or the host's when
    // sca is "".
    std::string Centre(const std::string &sca) const;
    // True, with the reason in the log pane, when a message for da through
    // centre would be refused.
    bool Refused(const std::string &centre, const std::string &da) const;
    void Run(std::string_view command, QIODevice *client);
    void Read(QIODevice *client);
    void Query(QIODevice *client);
    void Command(std::string_view command);
    void Send(std::string_view command);
};

// The command server: a listening socket whose events come on the main
// thread. At most kMaxClients clients are connected at a time; further ones
// wait in the listen queue until one leaves, or until the client silent
// longest has been silent kGiveWayMs and is closed to make room for one. No
// protocol state is kept per client, only the time of its last activity; a
// client silent for kIdleClientMs is closed.
class TCMPPSet {
public:
    TCMPPSet();
    ~TCMPPSet();
    TCMPPSet(const TCMPPSet &) = delete;
    TCMPPSet &operator=(const TCMPPSet &) = delete;

    // Where Init listens: every address, port 4096. Tests listen on a free
    // loopback port (port 0) instead, so parallel runs never collide; the
    // program keeps the default.
    struct Endpoint {
        QHostAddress Address{QHostAddress::Any};
        quint16 Port = 4096;
    };
    static Endpoint ListenOn;

    // The longest chunk taken; the rest of a longer one is dropped.
    static constexpr std::size_t kMaxChunk = 64 * 1024;
    static constexpr int kMaxClients = 256;
    // Connections the kernel holds for us while we take no more.
    static constexpr int kListenQueue = 4096;
    static constexpr int kIdleClientMs = 5 * 60 * 1000; // engine time
    // At the cap, a client silent this long gives its place to one that
    // waits, longest silent first (engine time). Silent: nothing received
    // or written since its last activity (its connect, the last byte it
    // sent, the last answer written to it in full), nothing left to read or
    // write.
    static constexpr int kGiveWayMs = 10 * 1000;
    // A process out of descriptors tries to take a client again after this
    // long (engine time), or as soon as a client leaves.
    static constexpr int kAcceptRetryMs = 1000;

    std::unique_ptr<QTcpServer> Server;
    TGateWay *Owner = nullptr;
    std::unique_ptr<TEasyLinkCtr> EasyLinkCtr;

    // Main thread, once: makes the interpreter and the server and starts
    // listening. False when the port cannot be opened; the log pane then
    // says so, and the interpreter (the send path) works all the same.
    bool Init();
    // The port listened on; 0 when not listening.
    quint16 Port() const;
    // Clients connected now.
    int Clients() const { return static_cast<int>(lastActive_.size()); }

    void ServerClientConnect(QTcpSocket *client);
    // Reads the waiting bytes as one chunk and runs its commands.
    void ServerClientRead(QTcpSocket *client);
    // What is waiting on client as one chunk: at most kMaxChunk bytes, the
    // rest of what is waiting read and dropped.
    static std::string ReadChunk(QIODevice &client);

private:
    using TimePoint = engineclock::Clock::time_point;

    bool Full() const { return Clients() >= kMaxClients; }
    // Accepts waiting connections up to the cap; the listening socket is
    // watched unless an accept has failed or MakeRoom waits for a client to
    // give way.
    void TakeClients();
    // A connection waits at the cap: the client silent longest is closed if
    // it has been silent kGiveWayMs (its leaving takes the waiting one);
    // otherwise the watch pauses until it will have been (CheckRoomAt).
    void MakeRoom();
    // The connected client with the oldest last activity and nothing to
    // read or write; null when every one is busy.
    QTcpSocket *LongestSilent() const;
    // The watch resumes at `at` (MakeRoom again, if a connection still
    // waits), or as soon as a client leaves.
    void CheckRoomAt(TimePoint at);
    void Serve(QTcpSocket *client);
    void ClientGone(QTcpSocket *client);
    // An accept failed (the process or the system is out of descriptors or
    // memory): no more are tried until a client leaves or kAcceptRetryMs
    // has passed, instead of spinning on the connections that wait.
    void AcceptFailed();

    bool acceptFailed_ = false;
    std::unique_ptr<QSocketNotifier> acceptor_;
    std::unique_ptr<QTimer> acceptRetry_;
    std::unique_ptr<QTimer> roomCheck_; // see CheckRoomAt
    // Every connected client, until its socket is destroyed, with the time
    // of its last activity.
    std::unordered_map<QTcpSocket *, TimePoint> lastActive_;
};
