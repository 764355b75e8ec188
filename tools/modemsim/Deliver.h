#pragma once

#include <ctime>
#include <optional>
#include <string>

// An SMS-DELIVER PDU (hex, with the centre part) as a network would hand it
// to the module: from number (digits, optionally after "+", which makes it
// international), the UTF-8 text in UCS-2, stamped with the local time at.
// The centre is a fixed +8613800210500. None when the number is not 1 to 20
// digits or the text does not fit one SMS (70 UTF-16 units); why in error.
std::optional<std::string> deliverPdu(const std::string &number, const std::string &text, std::time_t at,
                                      std::string &error);
