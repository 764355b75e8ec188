#pragma once

#include "platform/ado/AdoCache.h"
#include "platform/ado/AdoError.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
class QObject;
class TAdoQuery;

namespace ado {

class Transaction;

// What a connection takes from its connection string.
struct ConnectionSettings {
    std::string dataSource; // the database file; a bare name lies in the current directory
    std::string password;   // the file's key; empty for a file without one
    bool readOnly = false;  // Mode names Read without Write
    int localeId = 2052;
};

// Parses "Key=Value" pairs separated by ";". Keys are matched without regard
// to case or surrounding blanks; a value may stand between double or single
// quotes (a doubled quote inside stands for one). Used: "Data Source",
// "Jet OLEDB:Database Password", "Mode", "Locale Identifier"; other keys
// (Provider, User ID, the other Jet OLEDB keys) are accepted and ignored.
// Throws EDatabaseError for a pair without "=", an unclosed quote, no Data
// Source, or a Locale Identifier other than 2052 (the text collation is
// Chinese whatever the string says, so another one would be a lie).
ConnectionSettings parseConnectionString(std::string_view text);

} // namespace ado

// The connection to one database file (SQLCipher, encrypted with the
// password of the connection string). Main thread only, like its queries.
//
// Living beside other programs: the file is kept in write-ahead-log mode, so
// that their reads and writes and this connection's do not block each other,
// and a lock another program holds is waited out for up to BusyTimeoutMs
// before "database is locked" is reported. No query holds the database
// between uses: a result's unread rows are let go (its statement reset) when
// control returns to the event loop, and before a write that finds the
// database locked while results are still being read; the query reads on
// where it was when its caller moves on (Next, Last, RecordCount), by
// running its statement again and passing the rows it holds already.
//
// The log beside the file stays bounded: SQLite's automatic checkpoint runs
// after a commit that leaves the log past its size, but the log starts over
// only when the connection's next read begins on a log copied in whole, and
// a write through a result that is being read commits inside such a read.
// So, once the event loop has let go of the results, a log past that size
// is copied back again (a passive checkpoint: it never waits for another
// program, and leaves what another program still reads).
class TAdoConnection {
public:
    static constexpr int BusyTimeoutMs = 5000;
    // What an operator's own action waits (a dialog's OK, a delete) before
    // the operator is told that another program holds the database.
    static constexpr int OperatorBusyTimeoutMs = 1000;
    // What work driven by a timer or the modem waits on the main thread: a
    // longer lock is retried from the event loop, so windows, the command
    // port and the modem's replies are never held up by another program.
    static constexpr int ShortBusyTimeoutMs = 30;

    TAdoConnection();
    explicit TAdoConnection(std::string connectionString);
    // Closes its queries first, then the file.
    ~TAdoConnection();
    TAdoConnection(const TAdoConnection &) = delete;
    TAdoConnection &operator=(const TAdoConnection &) = delete;

    std::string ConnectionString;

    // Opens the file named by Data Source with the password as key and reads
    // it once to prove the key. Never creates the file. A missing file, a
    // wrong password or a file another program holds locked throws
    // EDatabaseError with the database's own text, as does a file of no
    // bytes (SQLITE_NOTADB; left empty) and, unless Mode asks for reading
    // only, a file that cannot be written (SQLITE_READONLY: its mode, a
    // read-only mount), which the database would open for reading without a
    // word. Does nothing when open.
    void Open();
    // Closes every open query on this connection (unposted changes dropped),
    // then the file.
    void Close();
    bool Connected() const { return db_ != nullptr; }
    // True when the open file is no longer the one at its path: deleted
    // (its link count is 0), renamed or replaced. What is written then goes
    // into a file nobody will open again. False when closed.
    bool FileGone() const;

    // Runs one statement that needs no result set (a PRAGMA, a CREATE, ...);
    // returns the number of rows it changed. Throws EDatabaseError.
    int64_t Execute(std::string_view sql);

    // Transactions, the database's own; queries on this connection post and
    // execute inside them. BeginTrans starts one and returns its level, 1 for
    // the outermost; a BeginTrans inside it nests (a savepoint) and is kept or
    // undone on its own. The outermost takes the write lock at once, waiting
    // out another program's for the busy timeout, so a transaction that reads
    // before it writes cannot fail half-way for want of the lock.
    // CommitTrans and RollbackTrans end the innermost level; both throw
    // EDatabaseError when none is active. A failed CommitTrans leaves the
    // transaction open. When the database has already rolled the whole
    // transaction back by itself (disk full, I/O error), CommitTrans throws
    // and RollbackTrans just ends it. Close ends (rolls back) every level.
    int BeginTrans();
    void CommitTrans();
    void RollbackTrans();
    bool InTransaction() const { return level_ > 0; }
    // How long a lock another program holds is waited out from now on (the
    // file's open sets BusyTimeoutMs); see ado::ShortWait.
    void SetBusyTimeout(int ms);
    int BusyTimeout() const { return busyTimeoutMs_; }

    // Statements are prepared once and kept for reuse, keyed by their text
    // with the values of their WHERE taken out (so a probe run for each item
    // of a list is prepared once); Close drops them, and a statement whose
    // table changed meanwhile is prepared afresh. The number prepared so far,
    // for the benchmarks and tests that show it.
    uint64_t StatementsPrepared() const { return cache_.prepareCount(); }

    // Makes a new database file at path holding what statements create, keyed
    // with password, in one transaction; the file is its owner's alone (mode
    // 0600, as are the log files SQLite keeps beside it). Throws
    // EDatabaseError when the file exists already or a statement fails; a
    // failed attempt leaves no file.
    // Only the database creator calls this; the system itself never does.
    static void CreateDatabase(const std::string &path, const std::string &password,
                               const std::vector<std::string> &statements);

private:
    friend class TAdoQuery;
    friend class ado::Transaction;
    sqlite3 *handle() const;
    void attach(TAdoQuery *query);
    void detach(TAdoQuery *query);

    void endTransaction(bool commit);
    // Lets go of every query's unread rows; true when some were.
    bool releaseCursors() noexcept;
    // Releases the cursors once control is back in the event loop, then
    // checkpoints the log when a commit has asked for it.
    void scheduleRelease();
    // After each commit (sqlite3_wal_hook): SQLite's own automatic
    // checkpoint, and one more asked for the event loop. A "PRAGMA
    // wal_autocheckpoint" would put SQLite's hook back in its place.
    static int walCommitted(void *connection, sqlite3 *db, const char *name, int frames) noexcept;
    void checkpoint() noexcept;
    // Runs a write; when it finds the database locked while results are
    // still read, releases them and runs it once more, now waiting.
    template <typename F> auto writing(F &&write)
    {
        try {
            return write();
        } catch (const EDatabaseError &e) {
            if (!releaseForRetry(e))
                throw;
        }
        return write();
    }
    bool releaseForRetry(const EDatabaseError &e) noexcept;
    ado::Prepared take(const std::string &key) { return cache_.take(handle(), key); }
    void give(ado::Prepared p) noexcept { cache_.give(std::move(p)); }
    // Statements compiled on this connection, also those SQLite compiles
    // again inside a step after a schema change.
    uint64_t compiles() const { return compiles_; }

    sqlite3 *db_ = nullptr;
    ado::StatementCache cache_;
    uint64_t compiles_ = 0;
    std::unique_ptr<QObject> releaser_; // context of the scheduled release
    bool releaseDue_ = false;
    int checkpointFrames_ = 0;   // the log's size that asks for a checkpoint; 0: never
    bool checkpointDue_ = false; // the log went past it since the last checkpoint
    bool readOnly_ = false;
    int level_ = 0; // transaction levels begun and not yet ended
    int busyTimeoutMs_ = BusyTimeoutMs;
    std::vector<TAdoQuery *> queries_;
};

namespace ado {

// True when e is another program's lock outlasting the busy timeout.
bool isBusy(const EDatabaseError &e) noexcept;
// True when the database refused a row for a key it holds already or a
// column's rule (a duplicate, a missing value).
bool isConstraint(const EDatabaseError &e) noexcept;
// What else an operator can be told about a file that failed to open or be
// read: the database found it damaged; it is no database under the key
// given (another key, none, or no database at all); it, or the files kept
// beside it, could not be opened or written.
bool isDamaged(const EDatabaseError &e) noexcept;
bool isNotADatabase(const EDatabaseError &e) noexcept;
bool isCannotOpen(const EDatabaseError &e) noexcept;
// The file opened, but only for reading (one of isCannotOpen's).
bool isReadOnly(const EDatabaseError &e) noexcept;
// True when the file at path starts with the header of a database without
// a key (an encrypted file shows no such text).
bool isPlainDatabaseFile(const std::string &path);
// What another program's lock on the database is called wherever the
// operator or the logs are told of it.
inline constexpr const char *LockedText = "数据库正被其他程序占用";
// e for an operator or a log line: what happened in Chinese, then the
// database's own text in brackets ("数据库正被其他程序占用（database is
// locked）"); a Worded error's text as it is.
std::string describe(const EDatabaseError &e);

// Waits ms for locks while it lives, then restores the wait it found.
// Guards nest.
class LockWait {
public:
    LockWait(TAdoConnection &connection, int ms);
    ~LockWait();
    LockWait(const LockWait &) = delete;
    LockWait &operator=(const LockWait &) = delete;

private:
    TAdoConnection &connection_;
    int previous_;
};

// At most ShortBusyTimeoutMs, for work that a timer or the modem drives and
// that can be tried again later.
class ShortWait : public LockWait {
public:
    explicit ShortWait(TAdoConnection &connection);
};

// OperatorBusyTimeoutMs, for an operator's own action.
class OperatorWait : public LockWait {
public:
    explicit OperatorWait(TAdoConnection &connection) : LockWait(connection, TAdoConnection::OperatorBusyTimeoutMs) {}
};

// A transaction for callers that may throw: begins one level on the
// connection and rolls it back when it goes out of scope without commit().
// Guards nest in the order they are made.
class Transaction {
public:
    explicit Transaction(TAdoConnection &connection) : connection_(connection), level_(connection.BeginTrans()) {}
    // Rolls back unless committed; never throws.
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    // Throws EDatabaseError as CommitTrans does; the guard then still rolls
    // back when it goes out of scope.
    void commit();

private:
    TAdoConnection &connection_;
    int level_;
    bool done_ = false;
};

} // namespace ado
