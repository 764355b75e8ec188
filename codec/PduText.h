#pragma once

// Internal helpers of the PDU codec; the public part is in PDUs.h.

#include <string>
#include <string_view>

// Appends code point c as UTF-8.
void appendUtf8(std::string &out, char32_t c);

// UTF-8 to UTF-16; each invalid sequence (overlong, surrogate, cut, stray
// byte) becomes one "?".
std::u16string utf8ToUtf16(std::string_view utf8);
