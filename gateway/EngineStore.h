#pragma once

#include "data/Records.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

class QTimer;

// The engine's writes into the database: received messages and SIM
// phone-book entries, each through records::writeGuarded (Query1, a short
// wait for another program's lock, nothing written into a deleted file). A
// write that meets a lock says Busy and is tried again later
// (TPendingWrites).
namespace enginestore {

using records::TOutcome;
using records::TResult;

// The key of a received message: the hex SHA-256 of its whole PDU text (in
// upper case), which holds the centre, the sender, the centre's time stamp
// and the text.
std::string digestOf(std::string_view pduHex);

// Stores a received message once under its digest (records::appendReceived).
TOutcome storeReceived(std::string_view pduHex, const std::string &phone, const std::string &text);

// The received message's READ entry is on disk (records::markQueued).
TOutcome markQueued(std::string_view pduHex);

// A SIM phone-book entry (records::storeContact).
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
