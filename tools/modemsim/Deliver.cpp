#include "Deliver.h"

#include "Hex.h"

#include <algorithm>
#include <cctype>

namespace {

// Digits in swapped semi-octets, padded with F (GSM 03.40 9.1.2.3).
std::string swappedDigits(std::string digits)
{
    if (digits.size() % 2)
        digits += 'F';
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        std::swap(digits[i], digits[i + 1]);
    return digits;
}

std::string twoDigits(int value)
{
    const char text[3] = {char('0' + value / 10 % 10), char('0' + value % 10), 0};
    return text;
}

// The service-centre time stamp: yy MM dd hh mm ss and the zone in quarter
// hours (bit 3 of the swapped octet: west of Greenwich), each swapped.
std::string timeStamp(std::time_t at)
{
    std::tm local{};
    localtime_r(&at, &local);
    const long quarters = local.tm_gmtoff / 900;
    const int magnitude = int(quarters < 0 ? -quarters : quarters);
    std::string out;
    for (int v : {local.tm_year % 100, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec})
        out += swappedDigits(twoDigits(v));
    std::string zone = swappedDigits(twoDigits(magnitude));
    if (quarters < 0)
        zone[1] = "0123456789ABCDEF"[(magnitude / 10 % 10) | 8];
    return out + zone;
}

} // namespace

std::optional<std::string> deliverPdu(const std::string &number, const std::string &text, std::time_t at,
                                      std::string &error)
{
    const bool international = !number.empty() && number[0] == '+';
    const std::string digits = international ? number.substr(1) : number;
    if (digits.empty() || digits.size() > 20 ||
        !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); })) {
        error = "the number must be 1 to 20 digits, optionally after +";
        return std::nullopt;
    }
    const std::string ud = hex::ucs2FromUtf8(text);
    if (ud.size() / 2 > 140) {
        error = "the text is longer than one SMS (70 UCS-2 characters)";
        return std::nullopt;
    }
    const std::vector<uint8_t> lengths = {uint8_t(digits.size()), uint8_t(ud.size() / 2)};
    const std::string hexLengths = hex::encode(lengths);
    return "0891683108200105F0" // the centre
           "04" +               // SMS-DELIVER, no more messages waiting
           hexLengths.substr(0, 2) +
           (international ? "91" : "81") + swappedDigits(digits) + "0008" // protocol 0, UCS-2
           + timeStamp(at) + hexLengths.substr(2) + ud;
}
