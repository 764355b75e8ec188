#include "platform/ado/AdoSql.h"

#include <algorithm>
#include <cctype>

namespace ado::sql {

namespace {

bool isWordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c == '$' || c >= 0x80; }

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
