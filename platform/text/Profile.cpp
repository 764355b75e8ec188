#include "platform/text/Profile.h"

#include "codec/Gbk.h"

#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// ASCII-only folding: UTF-8 multi-byte sequences never hold ASCII bytes, so
// Chinese names compare exactly.
bool sameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string_view firstLine(std::string_view s) { return s.substr(0, s.find_first_of("\r\n")); }

// One line of the file: its bytes as stored (line end included) and what it
// says, parsed from its UTF-8 form. GBK trail bytes can equal "[" or "]",
// so parsing the raw bytes would misread some Chinese names.
struct Line {
    enum Kind { Other, Section, Key } kind = Other;
    std::string raw;
    std::string name;  // section or key, UTF-8
    std::string value; // key lines only, UTF-8

    bool blank() const { return trim(firstLine(raw)).empty(); }
};

Line parse(std::string raw)
{
    Line line;
    line.raw = std::move(raw);
    const std::string utf8 = gbk::toUtf8(firstLine(line.raw));
    std::string_view text = trim(utf8);
    if (text.empty() || text.front() == ';')
        return line;
    if (text.front() == '[') {
        text.remove_prefix(1);
        std::size_t close = text.rfind(']');
        line.kind = Line::Section;
        line.name = trim(text.substr(0, close));
        return line;
    }
    std::size_t eq = text.find('=');
    if (eq == std::string_view::npos)
        return line;
    line.kind = Line::Key;
    line.name = trim(text.substr(0, eq));
    std::string_view value = trim(text.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    line.value = value;
    return line;
}

std::vector<Line> parseAll(std::string_view bytes)
{
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = bytes.find('\n', pos);
        end = end == std::string_view::npos ? bytes.size() : end + 1;
        lines.push_back(parse(std::string(bytes.substr(pos, end - pos))));
        pos = end;
    }
    return lines;
}

std::optional<std::string> load(const std::string &file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream buf;
    buf << in.rdbuf();
    return buf.str();
}

// Index range [begin, end) of the lines that belong to the first matching
// section, the header excluded; begin is npos when there is none.
std::pair<std::size_t, std::size_t> findSection(const std::vector<Line> &lines, std::string_view section)
{
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != Line::Section || !sameName(lines[i].name, section))
            continue;
        std::size_t end = i + 1;
        while (end < lines.size() && lines[end].kind != Line::Section)
            ++end;
        return {i + 1, end};
    }
    return {std::string::npos, 0};
}

std::size_t findKey(const std::vector<Line> &lines, std::size_t begin, std::size_t end, std::string_view key)
{
    for (std::size_t i = begin; i < end; ++i)
        if (lines[i].kind == Line::Key && sameName(lines[i].name, key))
            return i;
    return std::string::npos;
}

std::string newLine(std::string_view utf8) { return gbk::fromUtf8(utf8) + "\r\n"; }

void endWithNewLine(std::vector<Line> &lines, std::size_t index)
{
    std::string &raw = lines[index].raw;
    if (raw.empty() || raw.back() != '\n')
        raw += "\r\n";
}

bool save(const std::string &bytes, const std::string &file)
{
    const std::string temp = file + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            return false;
        out << bytes;
        out.flush();
        if (!out) {
            out.close();
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), file.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

std::string joined(const std::vector<Line> &lines)
{
    std::string bytes;
    for (const Line &line : lines)
        bytes += line.raw;
    return bytes;
}

} // namespace

namespace profile {

std::string valueIn(std::string_view text, std::string_view section, std::string_view key, std::string_view def)
{
    std::string fallback(def);
    while (!fallback.empty() && isBlank(fallback.back()))
        fallback.pop_back();
    const std::vector<Line> lines = parseAll(text);
    auto [begin, end] = findSection(lines, section);
    if (begin == std::string::npos)
        return fallback;
    std::size_t at = findKey(lines, begin, end, key);
    return at == std::string::npos ? fallback : lines[at].value;
}

std::string withValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value)
{
    section = trim(firstLine(section));
    key = trim(firstLine(key));
    value = firstLine(value);
    std::vector<Line> lines = parseAll(text);

    auto [begin, end] = findSection(lines, section);
    if (begin == std::string::npos) {
        if (!lines.empty())
            endWithNewLine(lines, lines.size() - 1);
        lines.push_back(parse(newLine("[" + std::string(section) + "]")));
        lines.push_back(parse(newLine(std::string(key) + "=" + std::string(value))));
        return joined(lines);
    }
    std::size_t at = findKey(lines, begin, end, key);
    if (at != std::string::npos) {
        lines[at] = parse(newLine(lines[at].name + "=" + std::string(value)));
        return joined(lines);
    }
    std::size_t after = begin; // just below the header by default
    for (std::size_t i = begin; i < end; ++i)
        if (!lines[i].blank())
            after = i + 1;
    endWithNewLine(lines, after - 1);
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(after),
                 parse(newLine(std::string(key) + "=" + std::string(value))));
    return joined(lines);
}

std::string getString(std::string_view section, std::string_view key, std::string_view def, const std::string &file)
{
    return valueIn(load(file).value_or(std::string()), section, key, def);
}

bool writeString(std::string_view section, std::string_view key, std::string_view value, const std::string &file)
{
    return save(withValue(load(file).value_or(std::string()), section, key, value), file);
}

} // namespace profile
