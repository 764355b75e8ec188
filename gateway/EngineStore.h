#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

class QTimer;

// The engine's writes into the database: received messages and SIM
// phone-book entries, on the main thread through DataModule1's Query1. None
// waits for another program's lock longer than a few tens of milliseconds
// (ado::ShortWait); a write that meets one says Busy, writes nothing and is
// tried again later (TPendingWrites). Nothing is written into a database
// file that was deleted while the desk runs.
namespace enginestore {

enum class TResult {
    Stored,        // written now
    AlreadyStored, // a received message stored before: nothing written
    Busy,          // another program holds the database: nothing written
    Gone,          // the database file was deleted while open: nothing written
    Failed,        // no database, a full disk, ...: nothing written
};

struct TOutcome {
    TResult result = TResult::Failed;
    std::string reason; // the database's text when not written
};

// How long the digest of a stored message is kept: longer than a desk stays
// off with the message left in the modem.
inline constexpr int kKeepDays = 30;

// The key of a received message: the hex SHA-256 of its whole PDU text (in
// upper case), which holds the centre, the sender, the centre's time stamp
// and the text.
std::string digestOf(std::string_view pduHex);

// Stores a received message once, in one transaction: digests older than
// kKeepDays go; then, unless sms_received holds its digest, a new
// sms_toread row (PHONE phone, MESSAGE text and one blank, TIME the PC's
// clock, READFLAG "未读") and the digest with the time.
TOutcome storeReceived(std::string_view pduHex, const std::string &phone, const std::string &text);

// A SIM phone-book entry, in one transaction: the contact key's CONTACT :=
// number, or a new client row (CLIENTID key, CONTACT number) and its
// client_cgroup row in "手机电话本".
TOutcome storeContact(const std::string &key, const std::string &number);

} // namespace enginestore

// Writes that met another program's lock, kept in memory in their order
// and tried again from the main thread's event loop every second of engine
// time, oldest first, until each has gone through or failed otherwise.
// Main thread, under the engine lock.
class TPendingWrites {
public:
    // Tries the write once; Busy keeps it for the next round.
    using Write = std::function<enginestore::TResult()>;

    TPendingWrites();
    ~TPendingWrites();
    TPendingWrites(const TPendingWrites &) = delete;
    TPendingWrites &operator=(const TPendingWrites &) = delete;

    // Keeps write under key; false, keeping nothing, when key is kept already.
    bool Add(const std::string &key, Write write);
    // Forgets the write kept under key (it went through another way).
    void Drop(const std::string &key);
    bool Empty() const { return writes_.empty(); }
    // One round: the oldest first, until one is Busy.
    void Retry();

private:
    std::deque<std::pair<std::string, Write>> writes_;
    std::unique_ptr<QTimer> timer_;
};
