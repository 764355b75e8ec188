#pragma once

#include <QDateTime>
#include <string>
#include <string_view>

// Value texts shared by every statement and by the readers of date-times.

// The value between single quotes with every quote inside it doubled: one
// literal whatever it holds, so that a statement built by concatenation keeps
// its meaning ("O'Brien" -> "'O''Brien'").
std::string QuotedStr(std::string_view value);

// A date and time as the desk shows it, whatever the machine's locale: the
// Chinese short date "yyyy-M-d", a blank and the long time "H:mm:ss"
// ("2024-5-6 8:30:15"); only the date when the time is exactly midnight.
// "" for date-time zero (a null QDateTime). A local time that the zone skips
// (an invalid QDateTime that still holds a date and a time) is written as it
// reads.
std::string DateTimeToStr(const QDateTime &value);

// The two halves of that form as Qt formats, for pickers and for texts made
// of a date and a time: "yyyy-M-d" and "H:mm:ss".
QString ShortDateFormat();
QString LongTimeFormat();

namespace ado {

// Stored form of a date-time column: ISO-8601 local time to the second,
// "yyyy-MM-dd HH:mm:ss", so that text order is time order; "" for a null
// QDateTime. A local time that the zone skips is stored as it reads.
std::string toStoredDateTime(const QDateTime &value);

// Reads the stored form, also with a 'T' between date and time, with
// milliseconds, or a date alone; then the form DateTimeToStr writes. A text
// that is none of these yields a null QDateTime and ok false. A wall-clock
// time that the local zone skips (a daylight-saving gap) comes back as the
// same date and time in UTC, so that it is neither lost nor moved.
QDateTime parseDateTime(std::string_view text, bool *ok);

} // namespace ado
