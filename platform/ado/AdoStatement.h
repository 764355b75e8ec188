#pragma once

#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// Internal to the data-access layer: one prepared statement, owned.
namespace ado {

// Throws the database's current error (extended code and text).
[[noreturn]] void throwError(sqlite3 *db);

class Statement {
public:
    Statement() = default;
    // Prepares exactly one statement; a text that holds a second statement
    // (anything but blanks, ";" and comments after the first) is refused
    // before anything runs, so a stray value can never smuggle one in.
    Statement(sqlite3 *db, std::string_view sql);
    ~Statement();
    Statement(Statement &&other) noexcept;
    Statement &operator=(Statement &&other) noexcept;
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    sqlite3_stmt *get() const { return stmt_; }
    explicit operator bool() const { return stmt_ != nullptr; }
    // Next row: true when there is one, false at the end; throws on error.
    bool step();
    void reset();
    void finalize();

private:
    sqlite3 *db_ = nullptr;
    sqlite3_stmt *stmt_ = nullptr;
};

} // namespace ado
