#include "codec/Numbers.h"

#include <algorithm>

namespace numbers {

bool validNumber(std::string_view number)
{
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!number.empty() && blank(number.front()))
        number.remove_prefix(1);
    while (!number.empty() && blank(number.back()))
        number.remove_suffix(1);
    if (number.starts_with('+'))
        number.remove_prefix(1);
    return !number.empty() && std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace numbers
