#include "platform/ado/AdoText.h"

#include <QLocale>

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

// Qt's long time format names the time zone ("t"); the desk's texts don't.
QString longTimeWithoutZone(const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (QChar c : format) {
        if (c == u'\'')
            quoted = !quoted;
        if (!quoted && c == u't')
            continue;
        out += c;
    }
    return out.trimmed();
}

QString shortDateTimeFormat(const QLocale &locale)
{
    return locale.dateFormat(QLocale::ShortFormat) + u' ' + longTimeWithoutZone(locale);
}

} // namespace

QString LongTimeFormat() { return longTimeWithoutZone(QLocale::system()); }

std::string DateTimeToStr(const QDateTime &value)
{
    if (!value.isValid())
        return {};
    QLocale locale = QLocale::system();
    if (value.time() == QTime(0, 0))
        return locale.toString(value.date(), QLocale::ShortFormat).toStdString();
    return locale.toString(value, shortDateTimeFormat(locale)).toStdString();
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
    QLocale locale = QLocale::system();
    if (!date.isValid())
        date = locale.toDate(s, QLocale::ShortFormat);
    if (date.isValid()) {
        *ok = true;
        return QDateTime(date, QTime(0, 0));
    }
    QDateTime dt = locale.toDateTime(s, shortDateTimeFormat(locale));
    *ok = dt.isValid();
    return dt;
}

} // namespace ado
