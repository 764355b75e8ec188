#pragma once

#include <QHostAddress>
#include <cstddef>
#include <memory>
#include <string>

class QIODevice;
class QTcpServer;
class QTcpSocket;
class TCMPPSet;
class TGateWay;
class TPDUSend;
class TSMSChannel;

// The TCP command protocol. Other programs connect, write one command per
// chunk and get bare GBK text back, without any terminator:
//   "DavoRodu:READ"   the oldest received message, or "EMPTY"
//   "DavoRodu:QUERY"  how many received messages wait, in decimal
//   "DavoRodu:CMD ... INDEX:<d>"  1 hides the gateway window, 2 shows it
//   "DavoRodu:SEND SCA:<n> DA:<n> UD:<text>"  queues the text
// CMD and SEND are not answered. There is no framing: whatever is waiting
// on a socket when it signals data is one chunk, and one chunk is one
// command; the rest of a chunk is the command's tail.

// The command interpreter and the send path of the engine. Main thread.
class TEasyLinkCtr {
public:
    TCMPPSet *Owner = nullptr;

    // Queues text for da on channel 1 through the centre sca (the host's
    // centre number when sca is empty). Numbers are national, without
    // country code; text is UTF-8. A text longer than 70 UTF-16 units goes
    // as consecutive messages of at most 70 units each, in order, never
    // cutting a surrogate pair; an empty text is one empty message. Nothing
    // is checked or reported; without channel 1 nothing is queued.
    void SendSMS(const std::string &sca, const std::string &da, const std::string &text);

    // One message as SendSMS queues it: an SMS-SUBMIT (first octet 0x11,
    // relative validity 0xA8, not tried yet) of UCS-2 text for da through
    // the centre sca, both taken as they are; text beyond one message is cut.
    static std::unique_ptr<TPDUSend> MakeSendPdu(const std::string &sca, const std::string &da,
                                                 const std::string &text);

    // Runs one command chunk (GBK bytes) and writes its reply to client.
    // Anything that is not a well-formed command is ignored without a word,
    // and a reply that cannot be written is dropped: a client can never
    // raise an error on the operator's screen. Never throws.
    void DoCommand(const std::string &chunk, QIODevice *client);

private:
    TSMSChannel *Channel1() const;
    void Read(QIODevice *client);
    void Query(QIODevice *client);
    void Command(const std::string &chunk);
    void Send(const std::string &chunk);
};

// The command server: a listening socket whose events come on the main
// thread. Any number of clients; no state is kept per client.
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

    std::unique_ptr<QTcpServer> Server;
    TGateWay *Owner = nullptr;
    std::unique_ptr<TEasyLinkCtr> EasyLinkCtr;

    // Main thread, once: makes the interpreter and the server and starts
    // listening. False when the port cannot be opened; the log pane then
    // says so, and the interpreter (the send path) works all the same.
    bool Init();
    // The port listened on; 0 when not listening.
    quint16 Port() const;

    void ServerClientConnect(QTcpSocket *client);
    // Reads the waiting bytes as one chunk and runs it.
    void ServerClientRead(QTcpSocket *client);
    // What is waiting on client as one chunk: at most kMaxChunk bytes, the
    // rest of what is waiting read and dropped.
    static std::string ReadChunk(QIODevice &client);
};
