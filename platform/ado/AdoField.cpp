#include "platform/ado/AdoField.h"

#include "platform/ado/AdoError.h"
#include "platform/ado/AdoQuery.h"
#include "platform/ado/AdoText.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

std::string_view trimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

} // namespace

const TAdoValue &TField::value() const { return query_->value(index_); }

void TField::assign(TAdoValue v) { query_->assign(index_, std::move(v)); }

bool TField::IsNull() const { return value().type == TAdoValue::Null; }

std::string TField::AsString() const
{
    const TAdoValue &v = value();
    switch (v.type) {
    case TAdoValue::Null: return {};
    case TAdoValue::Integer: return std::to_string(v.integer);
    case TAdoValue::Float: {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.15g", v.real);
        return buf;
    }
    case TAdoValue::Text:
        if (kind_ == TFieldKind::DateTime) {
            bool ok = false;
            QDateTime dt = ado::parseDateTime(v.bytes, &ok);
            if (ok)
                return DateTimeToStr(dt);
        }
        return v.bytes;
    case TAdoValue::Blob: return v.bytes;
    }
    return {};
}

QDateTime TField::AsDateTime() const
{
    const TAdoValue &v = value();
    if (v.type == TAdoValue::Null)
        return {};
    const std::string text = AsString();
    bool ok = false;
    QDateTime dt = ado::parseDateTime(v.type == TAdoValue::Text ? v.bytes : text, &ok);
    if (!ok)
        throw EDatabaseError(0, "'" + text + "' is not a valid date and time");
    return dt;
}

int64_t TField::AsInteger() const
{
    const TAdoValue &v = value();
    switch (v.type) {
    case TAdoValue::Null: return 0;
    case TAdoValue::Integer: return v.integer;
    case TAdoValue::Float: return std::llround(v.real);
    default: break;
    }
    const std::string_view s = trimBlanks(v.bytes);
    int64_t out = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size())
        throw EDatabaseError(0, "'" + v.bytes + "' is not a valid integer value");
    return out;
}

QByteArray TField::AsBytes() const
{
    const TAdoValue &v = value();
    if (v.type == TAdoValue::Text || v.type == TAdoValue::Blob)
        return QByteArray(v.bytes.data(), qsizetype(v.bytes.size()));
    if (v.type == TAdoValue::Null)
        return {};
    return QByteArray::fromStdString(AsString());
}

void TField::SetAsString(std::string_view text)
{
    TAdoValue v;
    switch (kind_) {
    case TFieldKind::DateTime: {
        if (text.empty())
            break;
        bool ok = false;
        QDateTime dt = ado::parseDateTime(text, &ok);
        if (!ok)
            throw EDatabaseError(0, "'" + std::string(text) + "' is not a valid date and time");
        v.type = TAdoValue::Text;
        v.bytes = ado::toStoredDateTime(dt);
        break;
    }
    case TFieldKind::Integer:
    case TFieldKind::Float: {
        if (text.empty())
            break;
        // A number becomes one here (this SQLite checks a column before
        // converting); anything else goes as text for the check to refuse.
        const std::string_view s = trimBlanks(text);
        const char *end = s.data() + s.size();
        int64_t i = 0;
        double d = 0;
        if (auto r = std::from_chars(s.data(), end, i); !s.empty() && r.ec == std::errc() && r.ptr == end) {
            v.type = TAdoValue::Integer;
            v.integer = i;
        } else if (auto r = std::from_chars(s.data(), end, d);
                   kind_ == TFieldKind::Float && !s.empty() && r.ec == std::errc() && r.ptr == end) {
            v.type = TAdoValue::Float;
            v.real = d;
        } else {
            v.type = TAdoValue::Text;
            v.bytes = text;
        }
        break;
    }
    case TFieldKind::Bytes:
        v.type = TAdoValue::Blob;
        v.bytes = text;
        break;
    default:
        v.type = TAdoValue::Text;
        v.bytes = text;
        break;
    }
    assign(std::move(v));
}

void TField::SetAsDateTime(const QDateTime &value)
{
    TAdoValue v;
    v.bytes = ado::toStoredDateTime(value);
    if (!v.bytes.empty())
        v.type = TAdoValue::Text;
    assign(std::move(v));
}

void TField::SetAsInteger(int64_t value)
{
    TAdoValue v;
    v.type = TAdoValue::Integer;
    v.integer = value;
    assign(std::move(v));
}

void TField::SetAsBytes(const QByteArray &value)
{
    TAdoValue v;
    v.type = TAdoValue::Blob;
    v.bytes.assign(value.constData(), size_t(value.size()));
    assign(std::move(v));
}

void TField::Clear() { assign(TAdoValue{}); }
