#pragma once

#include <QByteArray>
#include <QDateTime>
#include <cstdint>
#include <string>
#include <string_view>

class TAdoQuery;

// One value of a row as the database gave it or as it is to be written.
struct TAdoValue {
    enum Type : uint8_t { Null, Integer, Float, Text, Blob };
    Type type = Null;
    int64_t integer = 0;
    double real = 0;
    std::string bytes; // Text (UTF-8) and Blob
};

// What a column holds, from its declared type: text, date-time (stored as
// ISO-8601 text), integer, floating point, picture bytes; Variant for a
// computed column without one (read by the value's own type).
enum class TFieldKind { Text, DateTime, Integer, Float, Bytes, Variant };

// One column of a query's result, read and written on the query's current
// row (or the row being edited or appended). Owned by the query; valid while
// the query stays open.
//
// Reading: NULL reads as "", date-time zero (a null QDateTime), 0 or no
// bytes. AsString of a date-time column is DateTimeToStr's text. A text that
// cannot be read as the asked kind throws EDatabaseError.
// Writing (only while the query is in Edit or Insert, else EDatabaseError):
// SetAsString("") on a date-time, integer or float column and Clear() store
// NULL; a null QDateTime stores NULL. Text for an integer column is handed to
// the database, which turns a number into an integer and lets the column's
// check refuse anything else at Post.
class TField {
public:
    const std::string &FieldName() const { return name_; }
    TFieldKind Kind() const { return kind_; }

    bool IsNull() const;
    std::string AsString() const;
    QDateTime AsDateTime() const;
    int64_t AsInteger() const;
    QByteArray AsBytes() const;

    void SetAsString(std::string_view value);
    void SetAsDateTime(const QDateTime &value);
    void SetAsInteger(int64_t value);
    void SetAsBytes(const QByteArray &value);
    void Clear();

private:
    friend class TAdoQuery;
    TField(TAdoQuery *query, int index, std::string name, TFieldKind kind)
        : query_(query), index_(index), name_(std::move(name)), kind_(kind)
    {
    }
    const TAdoValue &value() const;
    void assign(TAdoValue value);

    TAdoQuery *query_;
    int index_;
    std::string name_;
    TFieldKind kind_;
};
