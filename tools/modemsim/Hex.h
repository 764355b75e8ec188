#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Text helpers of the simulator: hex octets, UCS-2 names and the quoted,
// escaped form in which the log shows raw bytes.
namespace hex {

// Octets of a hex text; digits of either case. None for an odd length or
// any other character.
std::optional<std::vector<uint8_t>> decode(std::string_view text);

// Two upper-case digits per octet.
std::string encode(const std::vector<uint8_t> &octets);

std::string upper(std::string_view text);

// UTF-8 text as hex UCS-2 (four digits per UTF-16 unit, high byte first),
// the form a modem gives phone-book names in. Malformed UTF-8 becomes
// U+FFFD; characters beyond the BMP become surrogate pairs.
std::string ucs2FromUtf8(std::string_view utf8);

} // namespace hex

// Bytes in double quotes, printable ASCII as is, backslash and quote
// escaped, \r \n \t, and \xHH for every other byte. One log line stays
// one line whatever the bytes are.
std::string escapeBytes(std::string_view bytes);
