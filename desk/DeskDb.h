#pragma once

#include "codec/Text.h"
#include "data/Records.h"

#include <QString>
#include <exception>
#include <string>

// Small helpers every window of the desk shares for its statements: the
// data layer's (records) for typed values, and the operator's own.
namespace desk {

// The data module; throws EDatabaseError when nobody has logged in yet.
TDataModule1 &Db();

// records::quoted and records::number of a typed value.
std::string quoted(const QString &value);
std::string number(const QString &value);

using records::exec;
using records::open;
using records::TDeleteFrom;

// A mobile number as the operator typed it into a contact or a message:
// blanks alone (no number, refused or allowed by the caller) or a number the
// engine sends to (numbers::validNumber). Anything else is told, naming the
// number, and false returned.
bool mobileAccepted(const QString &number);

// The database file the data module opens, as its connection string names
// it (relative to the work folder).
QString databaseFile();

// An error in words for a box: a database error in Chinese with the
// database's own text after it (ado::describe; another program's lock also
// says what to do), any other error its own text. The words the desk gives
// boxes::ErrorWords.
QString errorText(const std::exception &error);

// Tells the operator that a write failed: another program's lock in a
// plain box that says what to do, any other error in the error box. An
// operator's own write waits for such a lock about a second
// (ado::OperatorWait), the rest of the desk far less.
void tellFailed(const std::exception &error);

// The work code of the logged-in operator ("" before the login).
QString workCode();

// records::appendOperLog under the logged-in operator's work code.
void appendOperLog(TAdoQuery &q, const QString &action);

} // namespace desk
