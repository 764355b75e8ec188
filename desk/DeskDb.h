#pragma once

#include <QString>
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

// Removes leading and trailing characters whose code is 32 or lower; used
// only to test a value, never to change one that is stored or sent.
std::string_view trimmed(std::string_view text);

// The work code of the logged-in operator ("" before the login).
QString workCode();

// Appends one operation-log row through q ("select * from operlog", append,
// WORKCODE, Action, OperTime now, post) and closes q. Throws EDatabaseError.
void appendOperLog(TAdoQuery &q, const QString &action);

} // namespace desk
