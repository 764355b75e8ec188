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

std::string internationalForm(std::string_view number)
{
    std::string digits;
    for (char c : number)
        if (c >= '0' && c <= '9')
            digits += c;
    const bool plus = strings::trimmed(number).starts_with('+');
    // "+" and a country code, or "86" before a mobile number: the country
    // code is there already and must not be doubled.
    if ((plus && !digits.empty()) || (digits.size() == 13 && digits.compare(0, 3, "861") == 0))
        return digits;
    return "86" + digits;
}

bool fitsAddress(std::string_view number)
{
    return validNumber(number) && internationalForm(number).size() <= kAddressDigits;
}

} // namespace numbers
