#pragma once

#include <string_view>

// Byte-text helpers shared by every layer above the codec.
namespace strings {

// text without its blanks and control characters (bytes of code 32 or lower)
// at either end; a view into text. Bytes of 0x80 and above are never cut, so
// no UTF-8 or GBK character is split.
std::string_view trimmed(std::string_view text);

} // namespace strings
