#pragma once

#include "Storage.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class Log;

// Faults armed through the control channel; each counter is used up one
// command at a time.
struct Faults {
    int cmgsFailures = 0; // next AT+CMGS answered with cmgsReply, no prompt
    std::string cmgsReply = "ERROR";
    int pduFailures = 0; // next valid PDUs answered with pduReply
    std::string pduReply = "ERROR";
    int mutedCommands = 0;       // next command lines get no echo and no answer
    bool holdNextResult = false; // next PDU's result waits for releaseHeld()
    int holdMs = 0;              // ... or, when above 0, for this long
    int promptResets = 0;        // next AT+CMGS: the module resets at its prompt
    int takenDrops = 0;          // next valid PDUs: taken, then the device goes before the result
    // Lines the next AT+CMGR answer that holds a message carries between
    // its header and its PDU, in order.
    std::vector<std::string> cmgrJunk;
    bool dropAtCmgd = false; // the device goes when the next AT+CMGD comes
};

// The AT command interpreter of a GSM module in PDU mode. It knows nothing
// of the port: it takes the bytes the terminal wrote and hands what it
// writes back to the output function, everything that one call of a public
// operation produced in one piece (echo first, then the replies, in order).
// Single-threaded.
class Modem {
public:
    using Output = std::function<void(std::string_view)>;

    // scenario holds the storages and phone book and must outlive the modem.
    Modem(Scenario &scenario, Log &log, Output output);

    // Power-on state: echo on, no new-message indications, all three
    // storages "SM", no call, no command half typed, no PDU awaited, nothing
    // held. Storages, phone book, message reference and faults are kept.
    void powerOn();

    // Bytes from the terminal, in order; echoes, answers and changes state.
    void receive(std::string_view bytes);

    // Stores an incoming SMS-DELIVER (hex text, service-centre part
    // included) as unread in the named storage, or in the receive storage
    // when storage is empty, at index (0: the lowest free one), and
    // announces it as AT+CNMI asks. Returns the index with storage set to
    // the storage's name, or 0 with error set (bad storage, index or PDU,
    // index taken, storage full).
    int deliver(std::string &storage, const std::string &pduHex, std::string &error, int index = 0);

    Faults &faults() { return faults_; }

    // Writes the result that a hold kept back; false when nothing is held.
    bool releaseHeld();
    // When a result held for a time is due to go by itself; none otherwise.
    std::optional<std::chrono::steady_clock::time_point> releaseDue() const { return releaseAt_; }

    // The far end ends the call: "NO CARRIER"; false when there is no call.
    bool farEndHangUp();

    // True once after a command that a fault made the device go away at;
    // the port must then be dropped.
    bool takeDrop() { return std::exchange(dropNow_, false); }

private:
    enum class Mode { Command, Pdu, Held };
    enum class Form { Exec, Read, Test, Set };
    struct Extended {
        std::string name; // "+CMGS"
        Form form = Form::Exec;
        std::vector<std::string> args; // as written, quotes kept
    };
    using Handler = std::string (Modem::*)(const Extended &);
    struct Call {
        std::string number;
        int type = 129;
    };
    struct Cnmi {
        int mode = 0, mt = 0, bm = 0, ds = 0, bfr = 0;
    };

    void commandByte(char c);
    void pduByte(char c);
    void executeLine(const std::string &raw);
    std::string execute(const std::string &body);
    std::string basic(char name, const std::string &rest);
    static std::optional<Extended> parseExtended(const std::string &body);
    void emit(const std::string &bytes) { pending_ += bytes; }
    void flushOutput();
    // An unsolicited line: written now when the modem is idle, else after
    // the running command's final result.
    void unsolicited(const std::string &text);
    void newMessageIndication(const std::string &text);
    void flushDeferred();
    void submitPdu();
    MessageStore *storage(int which);

    // Handlers, each returning the whole reply (SmsCommands.cpp, PhoneCommands.cpp).
    std::string cnmi(const Extended &c);
    std::string cmgf(const Extended &c);
    std::string cpms(const Extended &c);
    std::string cmgr(const Extended &c);
    std::string cmgl(const Extended &c);
    std::string cmgd(const Extended &c);
    std::string cmgs(const Extended &c);
    std::string gsn(const Extended &c);
    std::string cpbr(const Extended &c);
    std::string clcc(const Extended &c);
    std::string dial(const std::string &dialString);
    std::string storageCounts() const;

    Scenario &scenario_;
    Log &log_;
    Output output_;
    Faults faults_;

    Mode mode_ = Mode::Command;
    bool echo_ = true;
    std::string line_;
    bool lineOverflow_ = false;
    Cnmi cnmi_;
    std::string mem_[3];                // read/delete, write/send, receive
    std::vector<std::string> deferred_; // unsolicited lines waiting for idle
    std::vector<std::string> taBuffer_; // indications kept while AT+CNMI mode is 0
    int pduLength_ = 0;
    std::string pduText_;
    std::string held_;
    std::optional<std::chrono::steady_clock::time_point> releaseAt_;
    std::string pending_; // output of the call in progress
    int nextReference_ = 1;
    std::optional<Call> call_;
    bool dropNow_ = false;
};
