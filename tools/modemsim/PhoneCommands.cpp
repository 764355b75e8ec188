// Identity, SIM phone book and voice calls.
#include "AtText.h"
#include "Hex.h"
#include "Log.h"
#include "Modem.h"

std::string Modem::gsn(const Extended &c)
{
    if (c.form == Form::Test)
        return at::ok();
    if (c.form != Form::Exec)
        return at::error();
    return at::info(scenario_.imei) + at::ok();
}

// Phone-book errors are equipment errors (GSM 07.07); with AT+CMEE at its
// default 0 a module reports them as plain ERROR.
std::string Modem::cpbr(const Extended &c)
{
    const int capacity = scenario_.phoneBookCapacity;
    if (c.form == Form::Test)
        return at::info("+CPBR: (1-" + std::to_string(capacity) + "),40,14") + at::ok();
    int first = 0, last = 0;
    if (c.form != Form::Set || c.args.empty() || c.args.size() > 2 || !at::toInt(c.args[0], first))
        return at::error();
    last = first;
    if (c.args.size() == 2 && !at::toInt(c.args[1], last))
        return at::error();
    if (first < 1 || last < first || last > capacity)
        return at::error();

    std::string lines;
    for (auto it = scenario_.phoneBook.lower_bound(first); it != scenario_.phoneBook.end() && it->first <= last; ++it) {
        const PhoneEntry &e = it->second;
        lines += "+CPBR: " + std::to_string(it->first) + ",\"" + e.number + "\"," + std::to_string(e.type) + ",\"" +
                 e.nameField + "\"\r\n";
    }
    return lines.empty() ? at::ok() : "\r\n" + lines + at::ok();
}

std::string Modem::clcc(const Extended &c)
{
    if (c.form == Form::Test)
        return at::ok();
    if (c.form != Form::Exec)
        return at::error();
    if (!call_)
        return at::ok();
    // One mobile-originated voice call, still being set up (stat 2, dialling).
    return at::info("+CLCC: 1,0,2,0,0,\"" + call_->number + "\"," + std::to_string(call_->type)) + at::ok();
}

std::string Modem::dial(const std::string &dialString)
{
    std::string s = dialString;
    const bool voice = !s.empty() && s.back() == ';';
    if (voice)
        s.pop_back();
    std::string number;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == 'T' || c == 'P')
            continue; // tone or pulse: nothing to a GSM module
        if ((c >= '0' && c <= '9') || c == '*' || c == '#' || (c == '+' && number.empty()))
            number += c;
        else
            return at::error();
    }
    if (number.empty() || number == "+")
        return at::error();
    if (!voice) {
        // A data call; the module offers no data service here.
        log_.line("EV", "data call refused " + number);
        return at::info("NO CARRIER");
    }
    if (call_)
        return at::error(); // one call at a time
    call_ = Call{number, number[0] == '+' ? 145 : 129};
    log_.line("EV", "dial " + number);
    return at::ok();
}
