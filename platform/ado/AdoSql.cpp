#include "platform/ado/AdoSql.h"

#include <algorithm>
#include <cctype>

namespace ado::sql {

namespace {

bool isWordChar(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           c >= 0x80;
}

// Calls f(word, begin, end) for each word outside literals and comments.
template <typename F> void scanWords(std::string_view s, F f)
{
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        const char c = s[i];
        if (c == '\'' || c == '"' || c == '`' || c == '[') {
            const char close = c == '[' ? ']' : c;
            ++i;
            while (i < n) {
                if (s[i] == close) {
                    // A doubled quote stands for one inside the literal.
                    if (close != ']' && i + 1 < n && s[i + 1] == close) {
                        i += 2;
                        continue;
                    }
                    break;
                }
                ++i;
            }
            ++i;
        } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
            while (i < n && s[i] != '\n')
                ++i;
        } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            size_t end = s.find("*/", i + 2);
            i = end == std::string_view::npos ? n : end + 2;
        } else if (isWordChar(static_cast<unsigned char>(c))) {
            size_t start = i;
            while (i < n && isWordChar(static_cast<unsigned char>(s[i])))
                ++i;
            std::string w(s.substr(start, i - start));
            std::transform(w.begin(), w.end(), w.begin(), [](unsigned char ch) { return char(std::tolower(ch)); });
            if (!f(w, start, i))
                return;
        } else {
            ++i;
        }
    }
}

} // namespace

std::vector<std::string> words(std::string_view sql)
{
    std::vector<std::string> out;
    scanWords(sql, [&](const std::string &w, size_t, size_t) {
        out.push_back(w);
        return true;
    });
    return out;
}

std::string normalise(std::string_view sql)
{
    size_t deleteEnd = std::string_view::npos;
    bool first = true;
    scanWords(sql, [&](const std::string &w, size_t, size_t end) {
        if (first && w == "delete")
            deleteEnd = end;
        first = false;
        return false;
    });
    if (deleteEnd == std::string_view::npos)
        return std::string(sql);
    size_t i = deleteEnd;
    while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i])))
        ++i;
    if (i >= sql.size() || sql[i] != '*')
        return std::string(sql);
    std::string out(sql);
    out[i] = ' ';
    return out;
}

bool canCarryRowid(std::string_view sql)
{
    const std::vector<std::string> w = words(sql);
    if (w.size() < 2 || w[0] != "select" || w[1] == "distinct" || w[1] == "all")
        return false;
    static const char *const refused[] = {"distinct", "group", "union",  "intersect",
                                          "except",   "join",  "having", "window"};
    for (const std::string &word : w)
        for (const char *r : refused)
            if (word == r)
                return false;
    return true;
}

std::string withRowid(std::string_view sql)
{
    size_t selectEnd = 0;
    scanWords(sql, [&](const std::string &, size_t, size_t end) {
        selectEnd = end;
        return false;
    });
    std::string out(sql.substr(0, selectEnd));
    out += " _rowid_,";
    out += sql.substr(selectEnd);
    return out;
}

namespace {

bool sameWord(std::string_view word, std::string_view lower)
{
    if (word.size() != lower.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i)
        if ((word[i] | 0x20) != lower[i]) // ASCII letters only: lower is all letters
            return false;
    return true;
}

// Past the quoted text that starts at s[i] (a doubled closing quote stands
// for one inside); npos when it is not closed.
size_t skipQuoted(std::string_view s, size_t i)
{
    const char close = s[i] == '[' ? ']' : s[i];
    for (++i; i < s.size(); ++i) {
        if (s[i] != close)
            continue;
        if (close != ']' && i + 1 < s.size() && s[i + 1] == close)
            ++i;
        else
            return i + 1;
    }
    return std::string_view::npos;
}

} // namespace

Parameterised parameterise(std::string_view sql)
{
    Parameterised out;
    const auto unchanged = [&] {
        out.text = normalise(sql);
        out.values.clear();
        return out;
    };
    out.text.reserve(sql.size());
    bool first = true, inWhere = false;
    int depth = 0;
    size_t copied = 0; // sql[0, copied) is in out.text
    size_t i = 0;
    const size_t n = sql.size();
    while (i < n) {
        const char c = sql[i];
        if (isWordChar(static_cast<unsigned char>(c))) {
            const size_t start = i;
            while (i < n && isWordChar(static_cast<unsigned char>(sql[i])))
                ++i;
            const std::string_view word = sql.substr(start, i - start);
            if (first && sameWord(word, "delete")) {
                size_t star = i;
                while (star < n && std::isspace(static_cast<unsigned char>(sql[star])))
                    ++star;
                if (star < n && sql[star] == '*') {
                    out.text.append(sql.substr(0, star)) += ' '; // Jet's "delete * from"
                    copied = star + 1;
                }
            } else if (first && !sameWord(word, "select") && !sameWord(word, "update")) {
                return unchanged();
            }
            first = false;
            if (depth == 0 && sameWord(word, "where"))
                inWhere = true;
            continue;
        }
        switch (c) {
        case '\'':
        case '"':
        case '`':
        case '[': {
            const size_t end = skipQuoted(sql, i);
            if (end == std::string_view::npos)
                return unchanged();
            // X'0A' is a blob, not a text.
            if (c == '\'' && inWhere && !(i > 0 && isWordChar(static_cast<unsigned char>(sql[i - 1])))) {
                out.text.append(sql.substr(copied, i - copied)) += '?';
                copied = end;
                if (out.values.empty())
                    out.values.reserve(4);
                std::string &value = out.values.emplace_back(sql.substr(i + 1, end - i - 2));
                // '' inside stands for one quote.
                for (size_t k = value.find('\''); k != std::string::npos; k = value.find('\'', k + 1))
                    value.erase(k, 1);
            }
            i = end;
            break;
        }
        case '-': i = i + 1 < n && sql[i + 1] == '-' ? std::min(sql.find('\n', i), n) : i + 1; break;
        case '/':
            if (i + 1 < n && sql[i + 1] == '*') {
                const size_t close = sql.find("*/", i + 2);
                i = close == std::string_view::npos ? n : close + 2;
            } else {
                ++i;
            }
            break;
        case '?':
        case ':':
        case '@':
        case '$': return unchanged(); // parameters of its own: numbering them is the caller's
        case '(': ++depth, ++i; break;
        case ')': --depth, ++i; break;
        default: ++i;
        }
    }
    // A long IN list stays a literal: SQLite takes at most 999 parameters.
    if (out.values.size() > 100)
        return unchanged();
    out.text.append(sql.substr(copied));
    return out;
}

std::string quoteName(std::string_view name)
{
    std::string out = "\"";
    for (char c : name) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

} // namespace ado::sql
