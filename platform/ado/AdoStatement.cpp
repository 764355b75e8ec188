#include "platform/ado/AdoStatement.h"

#include "platform/ado/AdoError.h"

#include <sqlite3.h>
#include <utility>

namespace ado {

void throwError(sqlite3 *db) { throw EDatabaseError(sqlite3_extended_errcode(db), sqlite3_errmsg(db)); }

Statement::Statement(sqlite3 *db, std::string_view sql) : db_(db)
{
    const char *tail = nullptr;
    if (sqlite3_prepare_v2(db, sql.data(), int(sql.size()), &stmt_, &tail) != SQLITE_OK)
        throwError(db);
    if (!stmt_)
        throw EDatabaseError(SQLITE_MISUSE, "The statement text is empty");
    const char *end = sql.data() + sql.size();
    while (tail && tail < end) {
        sqlite3_stmt *next = nullptr;
        const char *nextTail = nullptr;
        int rc = sqlite3_prepare_v2(db, tail, int(end - tail), &next, &nextTail);
        if (next || rc != SQLITE_OK) {
            sqlite3_finalize(next);
            finalize();
            throw EDatabaseError(SQLITE_MISUSE, "Only one statement can be run at a time");
        }
        if (nextTail == tail)
            break;
        tail = nextTail;
    }
}

Statement::~Statement() { finalize(); }

Statement::Statement(Statement &&other) noexcept : db_(other.db_), stmt_(std::exchange(other.stmt_, nullptr)) {}

Statement &Statement::operator=(Statement &&other) noexcept
{
    if (this != &other) {
        finalize();
        db_ = other.db_;
        stmt_ = std::exchange(other.stmt_, nullptr);
    }
    return *this;
}

bool Statement::step()
{
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    // With prepare_v2 the step's own code and text are on the connection;
    // take them before the reset that readies the statement again.
    EDatabaseError error(sqlite3_extended_errcode(db_), sqlite3_errmsg(db_));
    sqlite3_reset(stmt_);
    throw error;
}

void Statement::reset()
{
    if (stmt_) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
}

void Statement::finalize()
{
    if (stmt_)
        sqlite3_finalize(std::exchange(stmt_, nullptr));
}

} // namespace ado
