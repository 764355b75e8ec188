#pragma once

#include "codec/Text.h"

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

class TAdoQuery;
class TDataModule1;

// Small helpers every window of the desk shares for its statements.
namespace desk {

// The data module; throws EDatabaseError when nobody has logged in yet.
TDataModule1 &Db();

// A typed value as one quoted literal of a statement (quotes inside doubled).
std::string quoted(const QString &value);

// A typed number as it stands in a statement, in its decimal form; throws
// EDatabaseError naming the value when it is not a whole number, so text
// never reaches a statement in a number's place.
std::string number(const QString &value);

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
    std::string statement(const QString &key) const;
};

// A mobile number as the operator typed it into a contact or a message:
// blanks alone (no number, refused or allowed by the caller) or a number the
// engine sends to (numbers::validNumber). Anything else is told, naming the
// number, and false returned.
bool mobileAccepted(const QString &number);

// The work code of the logged-in operator ("" before the login).
QString workCode();

// Appends one operation-log row through q ("select * from operlog", append,
// WORKCODE, Action, OperTime now, post) and closes q. Throws EDatabaseError.
void appendOperLog(TAdoQuery &q, const QString &action);

} // namespace desk
