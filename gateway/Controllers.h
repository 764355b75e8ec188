#pragma once

#include "codec/PDUs.h"
#include "gateway/EngineStore.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

class TChannelCtr;

// The AT-command controllers. Each runs one kind of exchange: the scheduler
// (drive thread) makes it current and writes its command; from then on the
// main thread hands it every reply line through ProcessLine until it ends
// the exchange (the owner's EndExchange) or hands over to another one. A
// wait inside an exchange is a timed step of the owner (TChannelCtr::After)
// run by the drive thread; no controller sleeps. All members are called
// under the engine lock. Defined in InitCtr.cpp (TSMSCtr, TSMSInitCtr),
// RecvSendCtr.cpp (TSMSRecvCtr, TSMSSendCtr) and Controllers.cpp (the rest).
class TSMSCtr {
public:
    explicit TSMSCtr(TChannelCtr *owner) : Owner(owner) {}
    virtual ~TSMSCtr() = default;
    TSMSCtr(const TSMSCtr &) = delete;
    TSMSCtr &operator=(const TSMSCtr &) = delete;

    // Where the running exchange stands.
    enum TState {
        csIdle,        // idle, or the exchange ended
        csWriting,     // the command is being written
        csAwaiting,    // written: replies are awaited
        csSecondPhase, // the set-up succeeded, a read's "+CMGR:" came, the send prompt came
    };

    std::string Cmd; // the command, ending in CR; some collect replies in it
    TState State = csIdle;
    TChannelCtr *Owner;

    // Builds the command into Cmd and returns it.
    virtual std::string GetCmd() = 0;
    // Handles one reply line while current.
    virtual void ProcessLine(const std::string &line) = 0;

    // Appends Cmd to the monitor memo and writes it to the port; after a
    // write that raised no port error ReplyWait := 30 and BusyTicks := 0.
    // False when the write failed.
    bool SendCmd();
    // csIdle, GetCmd, csWriting, SendCmd, csAwaiting.
    void Start();
    static bool IsOK(const std::string &line);    // exactly "OK"
    static bool IsError(const std::string &line); // holds "ERROR"
};

// Finds the modem's line speed and sends the set-up commands.
class TSMSInitCtr : public TSMSCtr {
public:
    using TSMSCtr::TSMSCtr;
    int LineSeen = -1; // -1 from the set-up writes to the first non-empty line

    std::string GetCmd() override; // "AT+CNMI=1,1" CR
    // Drive thread, for seconds: ends a phone-book import, forgets the
    // selected storage, waits 1000 ms (not before the first search of the
    // program: the port has just been opened), searches the rate (until a
    // reply "OK", the gateway closes or the thread is asked to stop; each
    // attempt waits up to 500 ms for the "OK"), then writes the three set-up
    // commands and waits up to 500 ms for the set-up to succeed or fail.
    // Succeeded when State is csSecondPhase on return. The engine lock is released
    // during every wait.
    void Run();
    // In csAwaiting (the set-up of the running Run, or of the last one when
    // its answer came late), the set-up's "OK" (after another line) sets
    // csSecondPhase and Ready 1 and queues the sweep of the storages; its "ERROR"
    // sets Ready 0. Either keeps the exchange for a timed wait (1000 ms
    // after a success, 4000 ms after a failure) before it ends.
    void ProcessLine(const std::string &line) override;

private:
    // Waits ms with the engine lock released; ends early once done (asked
    // under the lock after each kick) holds.
    void WaitUnlocked(int ms, const std::function<bool()> &done = {});
    bool searched_ = false; // a search has run in this program
};

// "+CMTI:" notices, served by the scheduler once no other exchange runs:
// selects the named storage, waits 300 ms after its "OK" and queues the
// index for reading. The notices noted since, that name the same storage,
// are served with it. A notice naming neither "SM" nor "ME" writes no
// storage command and ends its exchange at once; an index that is not a
// number queues nothing; a storage the modem refuses queues nothing (its
// messages are found by the sweep after the next initialisation).
class TSMSCmtictr : public TSMSCtr {
public:
    using TSMSCtr::TSMSCtr;
    std::string GetCmd() override { return Cmd; }
    // Takes the oldest noted notice (and its storage's others) and starts.
    void Serve();
    void ProcessLine(const std::string &line) override;

    // The storage a notice names ("ME" when it names both) or ""; its index
    // (every digit after the first comma), none when that is no number.
    static std::string StorageOf(const std::string &notice);
    static std::optional<int> IndexOf(const std::string &notice);

private:
    void QueueIndices();
    std::string storage_;
    std::vector<int> indices_;
};

// The sweep of one storage after an initialisation: selects it ("AT+CPMS=")
// and, unless its reply counts no message, lists it ("AT+CMGL=4", every
// message whatever its status) and queues each listed index for reading.
// An "ERROR" (a storage the modem lacks) ends the sweep of that storage.
class TSMSListCtr : public TSMSCtr {
public:
    using TSMSCtr::TSMSCtr;
    std::string Storage;
    std::string GetCmd() override; // the selection, then the list
    void Start();
    void ProcessLine(const std::string &line) override;

private:
    bool listing_ = false;
    int used_ = -1; // messages the selection's reply counts; -1: not said
    std::vector<int> indices_;
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
    // The dial's final result ("OK", a line with "ERROR", "NO CARRIER",
    // "BUSY", "NO ANSWER", "NO DIALTONE") ends the exchange; the call goes
    // on in the modem. (Ended by its echo, its "OK" would end the next one.)
    void ProcessLine(const std::string &line) override;
};

// One SIM phone-book entry into the client tables.
class TCpbrCtr : public TSMSCtr {
public:
    using TSMSCtr::TSMSCtr;
    int Index = 0;
    std::string GetCmd() override; // "AT+CPBR=" Index CR
    // Collects lines into Cmd; "OK" stores the entry (or, without one,
    // ends the import); "ERROR" ends the import. An entry that met another
    // program's lock is kept in Owner's PendingWrites meanwhile.
    void ProcessLine(const std::string &line) override;

    // The number and the name (at most 7 UTF-16 units, UTF-8) of the entry
    // collected in cmd. A name field of hex digits is read as UCS-2; any
    // other name field is taken as the text it is.
    static void ParseEntry(const std::string &cmd, std::string &number, std::string &name);

private:
    void StoreEntry();
    unsigned entries_ = 0; // entries stored or kept so far
};

class TSMSDelCtr : public TSMSCtr {
public:
    using TSMSCtr::TSMSCtr;
    int Index = 0;
    std::string GetCmd() override; // "AT+CMGD=" Index CR
    // "OK" ends the exchange; every other line is passed over.
    void ProcessLine(const std::string &line) override;
};

// Reads one storage index and takes the message in. The reply's header
// "+CMGR:" announces the TPDU length; of the lines after it only the PDU
// line of that length is taken (IsPduLine), any other ("RING", noise) is
// passed over. On "OK" a whole PDU is stored once (enginestore) and only
// then shown, listed for READ and logged; a stored message, or one found
// stored before, is deleted 800 ms later. Nothing else is ever deleted: an
// index that answers "OK" alone, a PDU that did not come whole (its raw
// reply logged at the kRawLogReads-th read that failed so), and a message
// that could not be stored stay in the modem for a later read. A message
// that met another program's lock is kept in Owner's PendingWrites and,
// once stored, read again for its delete.
class TSMSRecvCtr : public TSMSCtr {
public:
    static constexpr int kRawLogReads = 3;

    explicit TSMSRecvCtr(TChannelCtr *owner);
    std::string Storage; // selected first when the modem has another one
    int Index = 0;
    std::unique_ptr<TPDUGet> PDU;

    void Init();                   // makes PDU
    std::string GetCmd() override; // "AT+CMGR=" Index CR
    // Selects Storage when needed ("AT+CPMS="; an "ERROR" ends the read),
    // then as TSMSCtr::Start, with Cmd emptied after the write.
    void Start();
    void ProcessLine(const std::string &line) override;
    void DecodePDU();

    // The sms_toread PHONE of a sender: characters 4 to 15 (GBK bytes) when
    // it holds "+86", else the sender as shown.
    static std::string PhoneOf(const std::string &caption);
    // The TPDU length a "+CMGR:" line announces (its last field); none when
    // that is not a number.
    static std::optional<int> AnnouncedLength(const std::string &header);
    // True when line is hex digits only, as many as the centre part (whose
    // length its first octet gives) and a TPDU of length octets take.
    static bool IsPduLine(const std::string &line, int length);

private:
    void StartRead();
    void TakeIn();
    void Unreadable();
    // Stores the message of pdu read from storage and index, and says what
    // became of it. A message that met a lock is kept pending; retry: this
    // is the pending write's own try, whose success reads the index again.
    // Stored or AlreadyStored when the index may be deleted, Busy to be
    // tried again, anything else to leave the message in the modem.
    enginestore::TResult Store(const std::string &storage, int index, const std::string &pdu, bool retry);
    // Lists the message for READ (the READ file synced) and says so.
    void Publish(const TPDUGet &pdu, const std::string &digest);
    // Appends the message to the channel's RecvList and its READ file.
    void List(const TPDUGet &pdu, const std::string &digest);
    // A message listed for READ whose row is not marked yet: marked and
    // deleted once its entry can no longer be lost (OnDisk); until then it
    // stays in the modem and a pending write waits for the READ file.
    enginestore::TResult Queued(const std::string &storage, int index, const std::string &pdu,
                                const std::string &digest, bool retry, bool before);
    // Its READ entry is on disk, or READ has handed it out already.
    bool OnDisk(const std::string &pdu) const;
    void Mark(const std::string &pdu, const std::string &digest);
    // The message may go from the modem: now, or, for a pending write
    // (retry), through another read. before: the row was there before.
    void Delete(const std::string &storage, int index, const std::string &digest, bool retry, bool before);
    void DeleteAfterWait();
    int droppedAtStart_ = 0;
    bool selecting_ = false;
    std::optional<int> length_; // announced by the reply's header
    std::string raw_;           // the reply from its header on, for the log
    // Reads whose PDU did not come whole, by storage and index.
    std::map<std::pair<std::string, int>, int> unreadable_;
    // Digests of messages stored by a pending write, to be deleted without a word.
    std::set<std::string> storedLate_;
    // Digests of messages this run listed for READ whose row is not marked yet.
    std::set<std::string> listed_;
};

// Sends the head of the send queue. Only the network's refusal of a PDU
// that went out ("ERROR" after it) counts as an attempt; an attempt cut off
// before its PDU went out (no prompt, an error to the length command, a
// port that failed, a timeout) leaves the message as it was. Once the PDU
// has gone out, its final answer is awaited for kSendAnswerTicks, or until
// the port fails: an attempt ended so is unsettled (the modem may have
// sent it), said as such and sent again, kMaxUnsettled times at most.
class TSMSSendCtr : public TSMSCtr {
public:
    explicit TSMSSendCtr(TChannelCtr *owner);
    TPDUSend *PDU = nullptr; // the queue head being sent, or ownPdu_

    void Init();                   // makes ownPdu_ (Tries 0, never sent) and points PDU at it
    std::string GetCmd() override; // encodes PDU; "AT+CMGS=" length CR
    // Drive thread: TSMSCtr::Start, then the attempt's log line.
    void Start();
    static bool IsPrompt(const std::string &line); // exactly ">"
    // ">" writes the PDU 400 ms later (a timed step; a port that fails then
    // has the modem searched again); "OK" after it ends the send; "ERROR"
    // after it ends the attempt, counted (Refused).
    void ProcessLine(const std::string &line) override;
    // True once the running attempt's PDU has gone out.
    bool AwaitsAnswer() const { return pduOut_; }
    // The scheduler ended the running attempt (a timeout, a port that
    // failed). One whose PDU had gone out is unsettled (Unsettled), and its
    // answer may still come (LateAnswer); one cut off before leaves the
    // message untouched.
    void Interrupted();
    // A "+CMGS:" reference that no running attempt awaits: the late answer
    // to the last attempt given up after its PDU went out, whose message is
    // then sent (and, were it being tried again, not written again).
    void LateAnswer();
    // The message pdu leaves the engine: PDU falls back to ownPdu_.
    void Forget(const TPDUSend *pdu);

private:
    void WritePdu();
    // The network refused the PDU: the attempt counts, and the message
    // waits before its next one, longer after each (3 s, 6 s, 12 s), while
    // other messages go.
    void Refused();
    void RemoveSent(const TPDUSend *pdu);
    std::unique_ptr<TPDUSend> ownPdu_;
    bool pduOut_ = false;
    bool cancel_ = false;                  // the message went meanwhile: ESC at the prompt
    const TPDUSend *unanswered_ = nullptr; // given up after its PDU went out
};

// Log texts shared by the controllers and the scheduler.
namespace enginetext {
std::string sendLine(const std::string &sca, const TPDUSend &pdu);
std::string receiveLine(const TPDUGet &pdu);
std::string droppedLine(const TPDUSend &pdu);
std::string unsettledLine(const TPDUSend &pdu);
std::string unconfirmedLine(const TPDUSend &pdu);
} // namespace enginetext
