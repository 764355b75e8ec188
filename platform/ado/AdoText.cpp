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

} // namespace

QString ShortDateFormat() { return kShortDate; }

QString LongTimeFormat() { return kLongTime; }

std::string DateTimeToStr(const QDateTime &value)
{
    if (!value.isValid())
        return {};
    if (value.time() == QTime(0, 0))
        return value.date().toString(kShortDate).toStdString();
    return value.toString(kShortDateTime).toStdString();
}

namespace ado {

std::string toStoredDateTime(const QDateTime &value)
{
    if (!value.isValid())
        return {};
    return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString();
}

QDateTime parseDateTime(std::string_view text, bool *ok)
{
    const QString s = QString::fromUtf8(text.data(), qsizetype(text.size())).trimmed();
    static const char *const stored[] = {
        "yyyy-MM-dd HH:mm:ss",     "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd HH:mm:ss.zzz",
        "yyyy-MM-ddTHH:mm:ss.zzz", "yyyy-MM-dd HH:mm",
    };
    for (const char *format : stored) {
        QDateTime dt = QDateTime::fromString(s, QString::fromLatin1(format));
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
        return QDateTime(date, QTime(0, 0));
    }
    QDateTime dt = QDateTime::fromString(s, kShortDateTime);
    *ok = dt.isValid();
    return dt;
}

} // namespace ado
