#include "platform/ado/AdoConnection.h"

#include "codec/Text.h"
#include "platform/ado/AdoCollation.h"
#include "platform/ado/AdoError.h"
#include "platform/ado/AdoQuery.h"
#include "platform/ado/AdoSql.h"
#include "platform/ado/AdoStatement.h"
#include "platform/ado/AdoText.h"

#include <QObject>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ado {

namespace {

std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

[[noreturn]] void badString(const std::string &why) { throw EDatabaseError(0, "Invalid connection string: " + why); }

// Reads one value from text[i], up to the next ';' outside quotes.
std::string readValue(std::string_view text, size_t &i)
{
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
        const char q = text[i++];
        std::string value;
        for (;;) {
            if (i >= text.size())
                badString("unclosed quote");
            if (text[i] == q) {
                if (i + 1 < text.size() && text[i + 1] == q) {
                    value += q;
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            value += text[i++];
        }
        size_t end = text.find(';', i);
        if (!strings::trimmed(text.substr(i, end == std::string_view::npos ? end : end - i)).empty())
            badString("text after a quoted value");
        i = end == std::string_view::npos ? text.size() : end + 1;
        return value;
    }
    size_t end = text.find(';', i);
    std::string value(strings::trimmed(text.substr(i, end == std::string_view::npos ? end : end - i)));
    i = end == std::string_view::npos ? text.size() : end + 1;
    return value;
}

bool readOnlyMode(const std::string &mode)
{
    bool read = false, write = false;
    size_t start = 0;
    while (start <= mode.size()) {
        size_t bar = mode.find('|', start);
        std::string token = lower(std::string(
            strings::trimmed(std::string_view(mode).substr(start, bar == std::string::npos ? bar : bar - start))));
        if (token == "read")
            read = true;
        else if (token == "write")
            write = true;
        else if (token == "readwrite")
            read = write = true;
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    return read && !write;
}

void applyKey(sqlite3 *db, const std::string &password)
{
    if (password.empty())
        return;
    Statement key(db, "PRAGMA key = " + QuotedStr(password));
    key.step();
}

// Called for every statement SQLite compiles, also when a step compiles it
// again after a schema change, which is what the count is for.
int countCompile(void *count, int, const char *, const char *, const char *, const char *)
{
    ++*static_cast<uint64_t *>(count);
    return SQLITE_OK;
}

int64_t runOne(sqlite3 *db, std::string_view sql)
{
    Statement st(db, sql);
    while (st.step()) {
    }
    return sqlite3_changes(db);
}

} // namespace

ConnectionSettings parseConnectionString(std::string_view text)
{
    ConnectionSettings out;
    bool haveSource = false;
    size_t i = 0;
    while (i < text.size()) {
        size_t eq = text.find('=', i);
        size_t semi = text.find(';', i);
        if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
            const std::string rest(strings::trimmed(text.substr(i, semi == std::string_view::npos ? semi : semi - i)));
            if (!rest.empty())
                badString("\"" + rest + "\" has no value");
            i = semi == std::string_view::npos ? text.size() : semi + 1;
            continue;
        }
        const std::string key = lower(std::string(strings::trimmed(text.substr(i, eq - i))));
        i = eq + 1;
        const std::string value = readValue(text, i);
        if (key == "data source") {
            out.dataSource = value;
            haveSource = !value.empty();
        } else if (key == "jet oledb:database password") {
            out.password = value;
        } else if (key == "mode") {
            out.readOnly = readOnlyMode(value);
        } else if (key == "locale identifier") {
            if (strings::trimmed(value) != "2052")
                badString("Locale Identifier " + value + " is not supported (the database collates as 2052)");
        }
    }
    if (!haveSource)
        badString("no Data Source");
    return out;
}

} // namespace ado

TAdoConnection::TAdoConnection() = default;

TAdoConnection::TAdoConnection(std::string connectionString) : ConnectionString(std::move(connectionString)) {}

TAdoConnection::~TAdoConnection()
{
    Close();
    for (TAdoQuery *q : queries_)
        q->connection_ = nullptr;
}

sqlite3 *TAdoConnection::handle() const
{
    if (!db_)
        throw EDatabaseError(0, "The connection is closed");
    return db_;
}

void TAdoConnection::attach(TAdoQuery *query) { queries_.push_back(query); }

void TAdoConnection::detach(TAdoQuery *query)
{
    queries_.erase(std::remove(queries_.begin(), queries_.end(), query), queries_.end());
}

void TAdoConnection::Open()
{
    if (db_)
        return;
    const ado::ConnectionSettings settings = ado::parseConnectionString(ConnectionString);
    // SQLite takes a file of no bytes for a new database and writes one
    // into it; such a file is a damaged one and stays as it is.
    if (struct stat st{}; ::stat(settings.dataSource.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0)
        throw EDatabaseError(SQLITE_NOTADB, sqlite3_errstr(SQLITE_NOTADB));
    sqlite3 *db = nullptr;
    // No SQLITE_OPEN_CREATE: a missing file is an error, never a new empty one.
    int flags = (settings.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    int rc = sqlite3_open_v2(settings.dataSource.c_str(), &db, flags, nullptr);
    try {
        if (rc != SQLITE_OK)
            ado::throwError(db);
        ado::applyKey(db, settings.password);
        // A lock held longer fails with the database's "database is locked".
        sqlite3_busy_timeout(db, busyTimeoutMs_);
        ado::registerCollation(db);
        sqlite3_set_authorizer(db, ado::countCompile, &compiles_);
        // SQLite's default 2 MiB holds a fraction of a directory of 100,000
        // contacts; every page read again is decrypted again.
        ado::runOne(db, "PRAGMA cache_size = -32768");
        // The first read proves the key: a wrong one gives "file is encrypted or is not a database".
        ado::runOne(db, "SELECT count(*) FROM sqlite_master");
        if (!settings.readOnly && sqlite3_db_readonly(db, "main") == 1)
            throw EDatabaseError(SQLITE_READONLY, sqlite3_errstr(SQLITE_READONLY));
        if (!settings.readOnly) {
            // Kept in the file: readers and writers of all programs stop
            // blocking each other.
            ado::runOne(db, "PRAGMA journal_mode=WAL");
            // SQLite's own size for its automatic checkpoint, which the hook
            // takes over.
            ado::Statement size(db, "PRAGMA wal_autocheckpoint");
            size.step();
            checkpointFrames_ = sqlite3_column_int(size.get(), 0);
            size.finalize();
            sqlite3_wal_hook(db, &TAdoConnection::walCommitted, this);
            const int32_t version = ado::collationVersion();
            ado::Statement st(db, "PRAGMA user_version");
            st.step();
            if (sqlite3_column_int(st.get(), 0) != version) {
                st.finalize();
                // Indices ordered by another ICU could mislead lookups.
                ado::runOne(db, std::string("REINDEX ") + ado::CollationName);
                ado::runOne(db, "PRAGMA user_version = " + std::to_string(version));
            }
        }
    } catch (...) {
        sqlite3_close_v2(db);
        throw;
    }
    db_ = db;
    readOnly_ = settings.readOnly;
}

void TAdoConnection::Close()
{
    for (TAdoQuery *q : queries_)
        q->Close();
    // A statement left unfinalized would keep the file open after the close.
    cache_.clear();
    if (db_) {
        // v2: should a statement still live somewhere, the handle closes with
        // it. Closing rolls back what is not committed.
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    level_ = 0;
    checkpointDue_ = false;
}

int64_t TAdoConnection::Execute(std::string_view sql)
{
    sqlite3 *db = handle();
    const std::string text = ado::sql::normalise(sql);
    return writing([&] { return ado::runOne(db, text); });
}

bool TAdoConnection::releaseCursors() noexcept
{
    bool released = false;
    for (TAdoQuery *q : queries_)
        released = q->suspend() || released;
    return released;
}

void TAdoConnection::scheduleRelease()
{
    if (releaseDue_)
        return;
    if (!releaser_)
        releaser_ = std::make_unique<QObject>();
    releaseDue_ = true;
    QMetaObject::invokeMethod(
        releaser_.get(),
        [this] {
            releaseDue_ = false;
            releaseCursors();
            if (checkpointDue_)
                checkpoint();
        },
        Qt::QueuedConnection);
}

int TAdoConnection::walCommitted(void *connection, sqlite3 *db, const char *name, int frames) noexcept
{
    auto *self = static_cast<TAdoConnection *>(connection);
    if (self->checkpointFrames_ <= 0 || frames < self->checkpointFrames_)
        return SQLITE_OK;
    // As SQLite's automatic checkpoint does; a read of this connection that
    // is still going keeps the log from starting over, so once more when
    // the event loop has ended it.
    sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    self->checkpointDue_ = true;
    try {
        self->scheduleRelease();
    } catch (...) {
        // Out of memory: the next commit asks again.
    }
    return SQLITE_OK;
}

void TAdoConnection::checkpoint() noexcept
{
    checkpointDue_ = false;
    // Inside a transaction SQLite refuses; the next commit past the size asks again.
    if (db_ && level_ == 0)
        sqlite3_wal_checkpoint_v2(db_, "main", SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
}

bool TAdoConnection::releaseForRetry(const EDatabaseError &e) noexcept
{
    // With a read of its own open, SQLite answers busy at once instead of
    // waiting (or the read's snapshot is older than another program's
    // commit): only without it can the write wait its turn.
    return (e.code() & 0xff) == SQLITE_BUSY && level_ == 0 && releaseCursors();
}

int TAdoConnection::BeginTrans()
{
    sqlite3 *db = handle();
    if (level_ == 0)
        writing([&] { ado::runOne(db, readOnly_ ? "BEGIN" : "BEGIN IMMEDIATE"); });
    else
        ado::runOne(db, "SAVEPOINT ado_" + std::to_string(level_ + 1));
    return ++level_;
}

void TAdoConnection::CommitTrans() { endTransaction(true); }

void TAdoConnection::RollbackTrans() { endTransaction(false); }

void TAdoConnection::endTransaction(bool commit)
{
    if (level_ == 0)
        throw EDatabaseError(0, "No transaction is active");
    sqlite3 *db = handle();
    if (sqlite3_get_autocommit(db)) {
        // The database ended it after a failure: what was written is gone,
        // and what ran since stood alone.
        level_ = 0;
        if (commit)
            throw EDatabaseError(SQLITE_ABORT, "The transaction was rolled back by the database");
        return;
    }
    const std::string savepoint = "ado_" + std::to_string(level_);
    if (!commit)
        releaseCursors(); // a rollback would abort them half-read
    try {
        if (level_ == 1)
            ado::runOne(db, commit ? "COMMIT" : "ROLLBACK");
        else if (commit)
            ado::runOne(db, "RELEASE " + savepoint);
        else {
            ado::runOne(db, "ROLLBACK TO " + savepoint);
            ado::runOne(db, "RELEASE " + savepoint);
        }
    } catch (...) {
        if (sqlite3_get_autocommit(db))
            level_ = 0;
        throw;
    }
    --level_;
}

namespace ado {

Transaction::~Transaction()
{
    if (done_)
        return;
    try {
        // Levels begun inside this one and left open go with it.
        while (connection_.level_ >= level_)
            connection_.RollbackTrans();
    } catch (...) {
        // SQLite's ROLLBACK fails only when the handle is unusable; a
        // destructor has nobody to tell.
    }
}

void Transaction::commit()
{
    if (done_ || connection_.level_ != level_)
        throw EDatabaseError(0, "The transaction is not the innermost one open");
    connection_.CommitTrans();
    done_ = true;
}

} // namespace ado

void TAdoConnection::CreateDatabase(const std::string &path, const std::string &password,
                                    const std::vector<std::string> &statements)
{
    // Made here, for the owner only, whatever the umask: SQLite would make it
    // readable by all, and its log files take the database file's mode.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        throw EDatabaseError(
            0, path + (errno == EEXIST ? ": the file exists already" : ": " + std::string(std::strerror(errno))));
    ::close(fd);
    sqlite3 *db = nullptr;
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    try {
        if (rc != SQLITE_OK)
            ado::throwError(db);
        ado::applyKey(db, password);
        ado::registerCollation(db);
        ado::runOne(db, "BEGIN");
        for (const std::string &s : statements)
            ado::runOne(db, s);
        ado::runOne(db, "PRAGMA user_version = " + std::to_string(ado::collationVersion()));
        ado::runOne(db, "COMMIT");
    } catch (...) {
        sqlite3_close_v2(db);
        std::remove(path.c_str());
        throw;
    }
    sqlite3_close_v2(db);
}

bool TAdoConnection::FileGone() const
{
    int moved = 0;
    return db_ && sqlite3_file_control(db_, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK && moved != 0;
}

void TAdoConnection::SetBusyTimeout(int ms)
{
    busyTimeoutMs_ = ms;
    if (db_)
        sqlite3_busy_timeout(db_, ms);
}

namespace ado {

bool isBusy(const EDatabaseError &e) noexcept
{
    const int primary = e.code() & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

bool isConstraint(const EDatabaseError &e) noexcept { return (e.code() & 0xFF) == SQLITE_CONSTRAINT; }

bool isDamaged(const EDatabaseError &e) noexcept { return (e.code() & 0xFF) == SQLITE_CORRUPT; }

bool isNotADatabase(const EDatabaseError &e) noexcept { return (e.code() & 0xFF) == SQLITE_NOTADB; }

bool isCannotOpen(const EDatabaseError &e) noexcept
{
    const int primary = e.code() & 0xFF;
    return primary == SQLITE_CANTOPEN || primary == SQLITE_READONLY || primary == SQLITE_PERM;
}

bool isReadOnly(const EDatabaseError &e) noexcept { return (e.code() & 0xFF) == SQLITE_READONLY; }

bool isPlainDatabaseFile(const std::string &path)
{
    static const char header[] = "SQLite format 3"; // with its NUL: 16 bytes
    char start[sizeof header] = {};
    std::ifstream file(path, std::ios::binary);
    return file.read(start, sizeof start) && std::memcmp(start, header, sizeof header) == 0;
}

std::string describe(const EDatabaseError &e)
{
    if (e.code() == EDatabaseError::Worded)
        return e.what();
    const char *what = "数据库操作失败";
    switch (e.code() & 0xFF) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: what = LockedText; break;
    case SQLITE_FULL: what = "磁盘已满，数据库无法写入"; break;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN: what = "数据库文件无法打开或写入"; break;
    case SQLITE_CORRUPT: what = "数据库文件已损坏"; break;
    case SQLITE_NOTADB: what = "数据库文件无法识别"; break;
    case SQLITE_IOERR: what = "读写数据库文件出错"; break;
    case SQLITE_CONSTRAINT: what = "记录重复或不合要求"; break;
    default: break;
    }
    return std::string(what) + "（" + e.what() + "）";
}

LockWait::LockWait(TAdoConnection &connection, int ms) : connection_(connection), previous_(connection.BusyTimeout())
{
    connection_.SetBusyTimeout(ms);
}

LockWait::~LockWait() { connection_.SetBusyTimeout(previous_); }

ShortWait::ShortWait(TAdoConnection &connection)
    : LockWait(connection, std::min(connection.BusyTimeout(), TAdoConnection::ShortBusyTimeoutMs))
{
}

} // namespace ado
