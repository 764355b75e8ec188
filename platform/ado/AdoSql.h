#pragma once

#include <string>
#include <string_view>
#include <vector>

// Reading statement texts just enough to run them the way the desk writes
// them: no SQL parser, only words outside literals, quoted names and comments.
namespace ado::sql {

// The words of a statement, lower-cased (ASCII), in order.
std::vector<std::string> words(std::string_view sql);

// The statement as SQLite takes it: a leading "delete * from" (Jet's form)
// becomes "delete from"; everything else is left as written.
std::string normalise(std::string_view sql);

// True for a plain "select" whose rows map one to one onto rows of one table,
// so that its rows may carry their rowid: no DISTINCT, grouping, compound
// or join keyword anywhere in it.
bool canCarryRowid(std::string_view sql);

// The same select with the rowid put first in its column list.
std::string withRowid(std::string_view sql);

// A statement with its values taken out, so that statements that differ
// only in those values share one prepared statement.
struct Parameterised {
    std::string text;                // each value taken out stands as "?"
    std::vector<std::string> values; // the values in order, quotes undoubled
};

// The statement as normalise() gives it, with the string literals that follow
// the top-level WHERE of a select, delete or update taken out: there a bound
// text means exactly what the literal did. Literals elsewhere (a select list
// names its columns after them, a PRAGMA takes no parameters), blob literals,
// and every literal of a text that has parameters of its own, an unclosed
// quote or more than 100 literals stay as written.
Parameterised parameterise(std::string_view sql);

// A table or column name as a quoted identifier.
std::string quoteName(std::string_view name);

} // namespace ado::sql
