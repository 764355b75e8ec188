#include "platform/ado/AdoCache.h"

#include <sqlite3.h>

namespace ado {

namespace {

// Statements of one text kept waiting: enough for the few queries that run
// the same text at once.
constexpr size_t WaitingPerText = 4;

} // namespace

Prepared StatementCache::take(sqlite3 *db, const std::string &key)
{
    if (auto it = entries_.find(key); it != entries_.end() && !it->second.waiting.empty()) {
        Prepared p = std::move(it->second.waiting.back());
        it->second.waiting.pop_back();
        it->second.lastUse = ++clock_;
        return p;
    }
    Prepared p;
    p.statement = Statement(db, key);
    p.key = key;
    ++prepares_;
    return p;
}

void StatementCache::give(Prepared p) noexcept
{
    if (!p)
        return;
    p.statement.reset();
    try {
        auto [it, added] = entries_.try_emplace(p.key);
        Entry &e = it->second;
        e.lastUse = ++clock_;
        if (e.waiting.size() < WaitingPerText)
            e.waiting.push_back(std::move(p));
        if (added && entries_.size() > Capacity) {
            auto oldest = entries_.begin();
            for (auto i = entries_.begin(); i != entries_.end(); ++i)
                if (i->second.lastUse < oldest->second.lastUse)
                    oldest = i;
            entries_.erase(oldest);
        }
    } catch (...) {
        // Out of memory: the statement is finalized with p instead of kept.
    }
}

void StatementCache::clear() noexcept { entries_.clear(); }

} // namespace ado
