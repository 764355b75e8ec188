#pragma once

#include <string_view>

// The one rule for what a phone or service-centre number may hold, shared by
// the engine's send path and the desk's dialogs.
namespace numbers {

// True for one or more decimal digits with one "+" allowed in front, after
// trimming blanks and control characters off both ends.
bool validNumber(std::string_view number);

} // namespace numbers
