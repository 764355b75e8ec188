#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Chinese text at the byte interfaces (TCP protocol, text files, byte-counted
// rules) is GBK (code page 936); everywhere else it is UTF-8. These helpers
// convert between the two and count and cut text in GBK bytes.
//
// A character GBK cannot represent becomes "?", and so does a byte sequence
// that is not valid in the source encoding; nothing is dropped silently.
namespace gbk {

std::string fromUtf8(std::string_view utf8);
std::string toUtf8(std::string_view gbkBytes);

// Length of a UTF-8 text once converted to GBK.
std::size_t byteLength(std::string_view utf8);

// Splits GBK bytes into pieces of at most maxBytes each; a boundary that
// would fall inside a double-byte character moves back one byte. maxBytes
// below 2 is treated as 2 so that every piece holds at least one character.
std::vector<std::string> splitBytes(std::string_view gbkBytes, std::size_t maxBytes);

// The same on UTF-8 text: the pieces are UTF-8, each at most maxBytes in GBK.
std::vector<std::string> splitUtf8(std::string_view utf8, std::size_t maxBytes);

// The first at most maxBytes bytes of GBK text, never ending inside a
// double-byte character.
std::string_view headBytes(std::string_view gbkBytes, std::size_t maxBytes);

// True when the byte opens a double-byte GBK character.
inline bool isLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

} // namespace gbk
