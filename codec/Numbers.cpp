#include "codec/Numbers.h"

#include "codec/Text.h"

#include <algorithm>

namespace numbers {

bool validNumber(std::string_view number)
{
    number = strings::trimmed(number);
    if (number.starts_with('+'))
        number.remove_prefix(1);
    return !number.empty() && std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace numbers
