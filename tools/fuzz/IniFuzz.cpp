// "smsset.ini" texts: whatever a file holds, reading any key is safe, and a
// value written is read back as written while other keys keep their values.
#include "platform/text/Profile.h"
#include "tools/fuzz/FuzzCommon.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

// A name made of the input's letters and digits ("K" when it has none).
std::string name(std::string_view s)
{
    std::string out;
    for (char c : s)
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            out += c;
    return out.empty() ? "K" : out;
}

// A value of printable ASCII without quotes at its ends, as read back.
std::string value(std::string_view s)
{
    std::string out;
    for (char c : s)
        if (c > ' ' && c < 0x7F && c != '"' && c != '\'')
            out += c;
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The first 24 bytes choose section, key and value; the rest is the file.
    const std::string_view all(reinterpret_cast<const char *>(data), size);
    const std::string_view head = all.substr(0, 24);
    const std::string_view text = all.substr(head.size());
    const std::string section = name(head.substr(0, 8));
    const std::string key = name(head.substr(std::min<std::size_t>(8, head.size()), 8));
    const std::string written = value(head.substr(std::min<std::size_t>(16, head.size())));

    const std::string before = profile::valueIn(text, "COMMON", "SCA", "default");
    if (!validUtf8(before) || !validUtf8(profile::valueIn(text, section, key, "")))
        fuzzFail("invalid UTF-8 out", std::string(all));
    const std::string after = profile::withValue(text, section, key, written);
    if (profile::valueIn(after, section, key, "?") != written)
        fuzzFail("a written value does not read back", std::string(all));
    auto sameName = [](std::string_view a, std::string_view b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
               });
    };
    if (!(sameName(section, "COMMON") && sameName(key, "SCA")) &&
        profile::valueIn(after, "COMMON", "SCA", "default") != before)
        fuzzFail("writing one key changed another", std::string(all));
    return 0;
}
