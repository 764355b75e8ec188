#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class TAdoQuery;
class TDataModule1;

// How the desk and the engine write the database: the data module, the
// literals of a statement, statements run afresh on a query, the engine's
// guarded writes, and the rows that both append. Each row writer works on
// the query its caller passes, so every query keeps its role (DM1.h). Main
// thread, as the data module.
namespace records {

// The data module; throws EDatabaseError when nobody has logged in yet.
TDataModule1 &module();

// A typed value as one quoted literal of a statement (quotes inside doubled).
std::string quoted(std::string_view value);

// A typed number as it stands in a statement, in its decimal form; blanks
// around it are allowed. Throws EDatabaseError naming the value when it is
// not a whole number, so text never reaches a statement in a number's place.
std::string number(std::string_view value);

// Runs a statement that returns rows on q afresh (closed, text set, opened)
// and returns q. Throws EDatabaseError.
TAdoQuery &open(TAdoQuery &q, const std::string &sql);
// Runs a statement that returns no rows on q; the number of rows changed.
// Throws EDatabaseError.
std::int64_t exec(TAdoQuery &q, const std::string &sql);

// Where a manager removes rows: the rows of table whose keyColumn holds the
// key, a text (quoted) or a number (checked).
struct TDeleteFrom {
    std::string table;
    std::string keyColumn;
    bool numericKey = false;

    explicit operator bool() const { return !table.empty(); }
    // "delete from <table> where <keyColumn>=<key>"; throws EDatabaseError
    // for a numeric key that is not a number.
    std::string statement(std::string_view key) const;
};

enum class TResult {
    Stored,        // written now
    AlreadyStored, // the row was there before: nothing written
    // A received message's row was there before, but its READ entry is not
    // known to be on disk (markQueued has not run): nothing written.
    AlreadyStoredUnqueued,
    Busy,   // another program holds the database: nothing written
    Gone,   // the database file was deleted while open: nothing written
    Failed, // no database, a full disk, ...: nothing written
};

struct TOutcome {
    TResult result = TResult::Failed;
    std::string reason; // the database's text when not written
};

// Runs write on the data module's Query1 in one transaction and closes
// Query1 afterwards, waiting a few tens of milliseconds at most for another
// program's lock (ado::ShortWait): for writes that a timer or the modem
// drives and that are tried again later. Another program's lock is Busy, a
// database file deleted while the desk runs Gone (nothing is written into a
// file nobody opens again), no data module or any other error Failed; each
// rolls back whatever write did. Otherwise write's result, committed.
TOutcome writeGuarded(const std::function<TResult(TAdoQuery &)> &write);

// How long sms_received keeps the digest of a received message: longer than
// a desk stays off with the message left in the modem.
inline constexpr int kReceivedKeepDays = 30;

// A received message through q, once: digests older than kReceivedKeepDays
// go; then, unless sms_received holds digest (AlreadyStored, or
// AlreadyStoredUnqueued when its QUEUED is 0), a new sms_toread row (PHONE
// phone, MESSAGE text and one blank, TIME the PC's clock, READFLAG "未读")
// and the digest with the time and QUEUED 0 (Stored). Throws
// EDatabaseError; call it inside a transaction (writeGuarded).
TResult appendReceived(TAdoQuery &q, const std::string &digest, const std::string &phone, const std::string &text);
// The received message's READ entry is on disk: QUEUED := 1 on digest's
// row (none there: nothing). Throws EDatabaseError; inside a transaction.
void markQueued(TAdoQuery &q, const std::string &digest);

// A SIM phone-book entry through q: the contact key's CONTACT := number, or
// a new client row (CLIENTID key, CONTACT number) and its client_cgroup row
// in "手机电话本". Throws EDatabaseError; call it inside a transaction.
void storeContact(TAdoQuery &q, const std::string &key, const std::string &number);

// Appends one operation-log row through q ("select * from operlog", append,
// WORKCODE, Action, OperTime now, post) and closes q. Throws EDatabaseError.
void appendOperLog(TAdoQuery &q, const std::string &workCode, const std::string &action);

} // namespace records
