#pragma once

#include <charconv>
#include <string>

// Reply framing and argument parsing shared by the command handlers.
namespace at {

namespace chars {
constexpr char kCr = '\r';
constexpr char kLf = '\n';
constexpr char kBackspace = 8;
constexpr char kCtrlZ = 26;
constexpr char kEscape = 27;
} // namespace chars

inline std::string ok() { return "\r\nOK\r\n"; }
inline std::string error() { return "\r\nERROR\r\n"; }
// Short-message errors (GSM 07.05) are reported with their number whatever
// AT+CMEE says, as most modules do.
inline std::string cms(int code) { return "\r\n+CMS ERROR: " + std::to_string(code) + "\r\n"; }
inline std::string info(const std::string &text) { return "\r\n" + text + "\r\n"; }

// A decimal parameter of at most five digits.
inline bool toInt(const std::string &arg, int &value)
{
    if (arg.empty() || arg.size() > 5)
        return false;
    const char *end = arg.data() + arg.size();
    auto [p, ec] = std::from_chars(arg.data(), end, value);
    return ec == std::errc() && p == end;
}

// A string parameter: required in double quotes, returned without them.
inline bool toString(const std::string &arg, std::string &value)
{
    if (arg.size() < 2 || arg.front() != '"' || arg.back() != '"')
        return false;
    value = arg.substr(1, arg.size() - 2);
    return value.find('"') == std::string::npos;
}

} // namespace at
