#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The one rule for what a phone or service-centre number may hold, shared by
// the engine's send path and the desk's dialogs.
namespace numbers {

// The most digits an SMS address (centre, destination, sender) holds.
inline constexpr std::size_t kAddressDigits = 20;

// True for one or more decimal digits with one "+" allowed in front, after
// trimming blanks and control characters off both ends.
bool validNumber(std::string_view number);

// The decimal digits of a number in international form, country code first,
// none cut: a number written with a leading "+" is international already
// ("+86..." or "+44..."), and so is "86" followed by an 11-digit mobile
// number ("1..."); any other number is national and gets "86" in front.
// Every character but the decimal digits is left out.
std::string internationalForm(std::string_view number);

// True for a valid number whose international form fits an SMS address: at
// most 20 digits, so at most 18 for a national number.
bool fitsAddress(std::string_view number);

} // namespace numbers
