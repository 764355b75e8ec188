#include "codec/Text.h"

#include <gtest/gtest.h>

#include <string>

TEST(Text, TrimmedCutsBlanksAndControlCharactersAtTheEndsOnly)
{
    using namespace std::string_literals;
    const struct {
        std::string in, out;
    } cases[] = {
        {"", ""},
        {" \t\r\n", ""},
        {"\0\x01 13800000000 \x1F"s, "13800000000"},
        {" a b ", "a b"},                 // blanks inside stay
        {"\177a\177", "\177a\177"},       // DEL is no blank
        {" 张三 ", "张三"},               // UTF-8: its bytes are 0x80 and above, never cut
        {"\xD5\xC5\xA0", "\xD5\xC5\xA0"}, // GBK ending in a high byte
    };
    for (const auto &c : cases)
        EXPECT_EQ(strings::trimmed(c.in), c.out) << c.in;
}
