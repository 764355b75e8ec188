#pragma once

#include "codec/PDUs.h"

#include <memory>
#include <string>

class TChannelCtr;

// The AT-command controllers. Each runs one kind of exchange: the scheduler
// (drive thread) makes it current and writes its command; from then on the
// main thread hands it every reply line through ProcessLine until it ends
// the exchange (owner's Current := null) or hands over to another one. All
// members are called under the engine lock.
class TSMSCtr {
public:
    explicit TSMSCtr(TChannelCtr *owner) : Owner(owner) {}
    virtual ~TSMSCtr() = default;
    TSMSCtr(const TSMSCtr &) = delete;
    TSMSCtr &operator=(const TSMSCtr &) = delete;

    std::string Cmd; // the command, ending in CR; some collect replies in it
    int State = 0;   // 0 idle or ended, 1 writing, 2 awaiting replies, 3 second phase
    TChannelCtr *Owner;

    // Builds the command into Cmd and returns it.
    virtual std::string GetCmd() = 0;
    // Handles one reply line while current.
    virtual void ProcessLine(const std::string &line) = 0;

    // Appends Cmd to the monitor memo and writes it to the port; after a
    // write that raised no port error ReplyWait := 30 and BusyTicks := 0.
    void SendCmd();
    // State 0, GetCmd, State 1, SendCmd, State 2.
    void Start();
    static bool IsOK(const std::string &line);    // exactly "OK"
    static bool IsError(const std::string &line); // holds "ERROR"

protected:
    // A wait inside reply handling (main thread): a plain sleep, the engine
    // lock kept, so that no tick runs in the middle of a handler.
    static void Wait(int ms);
};

// Finds the modem's line speed and sends the set-up commands.
class TSMSInitCtr : public TSMSCtr {
public:
    using TSMSCtr::TSMSCtr;
    int LineSeen = -1; // -1 from the set-up writes to the first non-empty line

    std::string GetCmd() override; // "AT+CNMI=1,1" CR
    // Drive thread, for seconds: ends a phone-book import, searches the
    // rate (until a reply "OK", the gateway closes or the thread is asked
    // to stop), then writes the three set-up commands. Succeeded when State
    // is 3 on return.
    void Run();
    void ProcessLine(const std::string &line) override;

private:
    void WaitUnlocked(int ms);
};

// "+CMTI:" notices: selects the named storage and queues the index. A
// notice naming neither "SM" nor "ME" writes no storage command and ends
// its exchange at once; an index that is not a number queues nothing.
class TSMSCmtictr : public TSMSCtr {
public:
    using TSMSCtr::TSMSCtr;
    std::string GetCmd() override { return Cmd; }
    void ProcessLine(const std::string &line) override;
};

// The call query: made, never current.
class TClccCtr : public TSMSCtr {
public:
    using TSMSCtr::TSMSCtr;
    std::string GetCmd() override; // "AT+CLCC" CR
    void ProcessLine(const std::string &) override {}
};

class TDialCtr : public TSMSCtr {
public:
    using TSMSCtr::TSMSCtr;
    std::string Number;
    std::string GetCmd() override; // "ATDT" Number ";" CR
    // Any line ends the exchange.
    void ProcessLine(const std::string &line) override;
};

// One SIM phone-book entry into the client tables.
class TCpbrCtr : public TSMSCtr {
public:
    using TSMSCtr::TSMSCtr;
    int Index = 0;
    std::string GetCmd() override; // "AT+CPBR=" Index CR
    // Collects lines into Cmd; "OK" stores the entry (or, without one,
    // ends the import); "ERROR" ends the import.
    void ProcessLine(const std::string &line) override;

    // The number and the name (at most 7 UTF-16 units, UTF-8) of the entry
    // collected in cmd. A name field of hex digits is read as UCS-2; any
    // other name field is taken as the text it is.
    static void ParseEntry(const std::string &cmd, std::string &number, std::string &name);

private:
    void StoreEntry();
};

class TSMSDelCtr : public TSMSCtr {
public:
    using TSMSCtr::TSMSCtr;
    int Index = 0;
    std::string GetCmd() override; // "AT+CMGD=" Index CR
    // "OK" ends the exchange; every other line is passed over.
    void ProcessLine(const std::string &line) override;
};

// Reads one storage index, takes the message in and hands over to delete.
class TSMSRecvCtr : public TSMSCtr {
public:
    explicit TSMSRecvCtr(TChannelCtr *owner);
    int Index = 0;
    std::unique_ptr<TPDUGet> PDU;

    void Init();                   // makes PDU
    std::string GetCmd() override; // "AT+CMGR=" Index CR
    // As TSMSCtr::Start, with Cmd emptied after the write.
    void Start();
    void ProcessLine(const std::string &line) override;
    void DecodePDU();

    // The sms_toread PHONE of a sender: characters 4 to 15 (GBK bytes) when
    // it holds "+86", else the sender as shown.
    static std::string PhoneOf(const std::string &caption);

private:
    bool TakeIn();
    int droppedAtStart_ = 0;
};

// Sends the head of the send queue.
class TSMSSendCtr : public TSMSCtr {
public:
    explicit TSMSSendCtr(TChannelCtr *owner);
    TPDUSend *PDU = nullptr; // the queue head being sent, or ownPdu_

    void Init();                   // makes ownPdu_ (Tries 0, never sent) and points PDU at it
    std::string GetCmd() override; // encodes PDU; "AT+CMGS=" length CR
    // Drive thread: TSMSCtr::Start, then the attempt's log line.
    void Start();
    static bool IsPrompt(const std::string &line); // exactly ">"
    void ProcessLine(const std::string &line) override;
    // The message PDU points at leaves the engine: PDU falls back to ownPdu_.
    void Forget(const TPDUSend *pdu);

private:
    void RemoveSent();
    std::unique_ptr<TPDUSend> ownPdu_;
};

// Log texts shared by the controllers and the scheduler.
namespace enginetext {
std::string sendLine(const std::string &sca, const TPDUSend &pdu);
std::string receiveLine(const TPDUGet &pdu);
std::string droppedLine(const TPDUSend &pdu);
} // namespace enginetext
