#include "platform/ado/AdoText.h"

std::string QuotedStr(std::string_view value)
{
    std::string out;
    out.reserve(value.size() + 2);
    out += '\'';
    for (char c : value) {
        if (c == '\'')
            out += '\'';
        out += c;
    }
    out += '\'';
    return out;
}

namespace {

const QString kShortDate = QStringLiteral("yyyy-M-d");
const QString kLongTime = QStringLiteral("H:mm:ss");
const QString kShortDateTime = kShortDate + u' ' + kLongTime;

// A wall-clock time that the local zone skips (the hour a daylight-saving
// change jumps over; at midnight in some years of China's zone) makes an
// invalid local QDateTime that still holds its date and time: such a value
// is written as it reads, never taken for date-time zero.
bool holdsDateTime(const QDateTime &value) { return value.date().isValid() && value.time().isValid(); }

QString joined(const QDateTime &value, const QString &date, const QString &time)
{
    return value.date().toString(date) + u' ' + value.time().toString(time);
}

// The text's date and time; one the local zone skips is kept in UTC terms,
// where it exists, so that it shows and stores as written.
QDateTime wallClock(const QDateTime &parsed)
{
    if (parsed.isValid() || !holdsDateTime(parsed))
        return parsed;
    return QDateTime(parsed.date(), parsed.time(), Qt::UTC);
}

} // namespace

QString ShortDateFormat() { return kShortDate; }

QString LongTimeFormat() { return kLongTime; }

std::string DateTimeToStr(const QDateTime &value)
{
    if (!holdsDateTime(value))
        return {};
    if (value.time() == QTime(0, 0))
        return value.date().toString(kShortDate).toStdString();
    return joined(value, kShortDate, kLongTime).toStdString();
}

namespace ado {

std::string toStoredDateTime(const QDateTime &value)
{
    if (!holdsDateTime(value))
        return {};
    return joined(value, QStringLiteral("yyyy-MM-dd"), QStringLiteral("HH:mm:ss")).toStdString();
}

QDateTime parseDateTime(std::string_view text, bool *ok)
{
    const QString s = QString::fromUtf8(text.data(), qsizetype(text.size())).trimmed();
    static const char *const stored[] = {
        "yyyy-MM-dd HH:mm:ss",     "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd HH:mm:ss.zzz",
        "yyyy-MM-ddTHH:mm:ss.zzz", "yyyy-MM-dd HH:mm",
    };
    for (const char *format : stored) {
        QDateTime dt = wallClock(QDateTime::fromString(s, QString::fromLatin1(format)));
        if (dt.isValid()) {
            *ok = true;
            return dt;
        }
    }
    QDate date = QDate::fromString(s, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        date = QDate::fromString(s, kShortDate);
    if (date.isValid()) {
        *ok = true;
        return wallClock(QDateTime(date, QTime(0, 0)));
    }
    QDateTime dt = wallClock(QDateTime::fromString(s, kShortDateTime));
    *ok = dt.isValid();
    return dt;
}

} // namespace ado
