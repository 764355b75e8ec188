#pragma once

#include "platform/ado/AdoField.h"
#include "platform/ado/AdoStatement.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct sqlite3;

// Internal to the data-access layer: prepared statements kept for reuse.
namespace ado {

// What the rows of a select look like, read once when it is prepared.
struct ResultShape {
    int offset = 0;                   // 1 when column 0 is the rowid
    std::string table;                // the table of a modifiable result; "" otherwise
    std::vector<std::string> origins; // each column's name in table
    std::vector<std::string> names;
    std::vector<TFieldKind> kinds;
};

// A statement lent out by the cache, prepared from key (which may differ from
// the statement's own text: a select may carry its rowid in front).
struct Prepared {
    std::string key;
    Statement statement;
    // For a select once read, null otherwise; while null, statement is
    // prepared from key as it stands.
    std::shared_ptr<const ResultShape> shape;

    explicit operator bool() const { return bool(statement); }
};

// The prepared statements of one connection, keyed by text. A statement is
// lent to one user at a time; given back, it is reset with its bindings
// cleared, so that it holds no lock and no value while it waits. Keeps the
// statements of at most Capacity texts, dropping the least recently used.
class StatementCache {
public:
    static constexpr size_t Capacity = 64;

    // A waiting statement of key, or one newly prepared (throws
    // EDatabaseError as Statement does).
    Prepared take(sqlite3 *db, const std::string &key);
    // Keeps p for the next take of its key; an empty p is ignored.
    void give(Prepared p) noexcept;
    // Finalizes every waiting statement.
    void clear() noexcept;
    // Statements prepared so far (cache misses).
    uint64_t prepareCount() const { return prepares_; }

private:
    struct Entry {
        std::vector<Prepared> waiting;
        uint64_t lastUse = 0;
    };
    std::unordered_map<std::string, Entry> entries_;
    uint64_t clock_ = 0;
    uint64_t prepares_ = 0;
};

// A statement lent for one use and given back at the end of the scope.
// compiles counts the connection's compilations: when SQLite compiled the
// statement again meanwhile (a schema change), it is finalized instead, so
// that no kept shape outlives the columns it was read from.
class Lease {
public:
    Lease(StatementCache &cache, Prepared p, const uint64_t &compiles)
        : cache_(cache), p_(std::move(p)), compiles_(compiles), start_(compiles)
    {
    }
    ~Lease()
    {
        if (compiles_ == start_)
            cache_.give(std::move(p_));
    }
    Lease(const Lease &) = delete;
    Lease &operator=(const Lease &) = delete;

    sqlite3_stmt *get() const { return p_.statement.get(); }
    bool step() { return p_.statement.step(); }

private:
    StatementCache &cache_;
    Prepared p_;
    const uint64_t &compiles_;
    uint64_t start_;
};

} // namespace ado
