#include "Storage.h"

#include "Hex.h"
#include "codec/Text.h"

#include <charconv>
#include <fstream>
#include <sstream>

StoredSms *MessageStore::at(int index)
{
    auto it = slots_.find(index);
    return it == slots_.end() ? nullptr : &it->second;
}

int MessageStore::firstFree() const
{
    for (int i = 1; i <= capacity_; ++i)
        if (!slots_.count(i))
            return i;
    return 0;
}

MessageStore *Scenario::storage(const std::string &name)
{
    const std::string n = hex::upper(name);
    if (n == "SM")
        return &sm;
    if (n == "ME")
        return &me;
    return nullptr;
}

namespace {

bool toInt(const std::string &text, int &value)
{
    const char *end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && p == end;
}

bool validNumber(const std::string &number)
{
    for (size_t i = 0; i < number.size(); ++i) {
        const char c = number[i];
        if (!((c >= '0' && c <= '9') || c == '*' || c == '#' || (c == '+' && i == 0)))
            return false;
    }
    return number.size() <= 40;
}

// One keyword line; error set when it is not understood.
void applyLine(const std::string &line, Scenario &s, std::string &error)
{
    std::istringstream in(line);
    std::string key;
    in >> key;
    std::string a, b, c;
    if (key == "imei") {
        in >> a;
        if (a.empty() || a.find_first_not_of("0123456789") != std::string::npos)
            error = "imei takes digits";
        else
            s.imei = a;
    } else if (key == "capacity") {
        in >> a >> b;
        int n = 0;
        if (!toInt(b, n) || n < 1 || n > 1000)
            error = "capacity takes SM, ME or PB and a number from 1 to 1000";
        else if (hex::upper(a) == "PB")
            s.phoneBookCapacity = n;
        else if (MessageStore *m = s.storage(a))
            m->setCapacity(n);
        else
            error = "unknown storage " + a;
    } else if (key == "reference") {
        int n = 0;
        in >> a;
        if (!toInt(a, n) || n < 0 || n > 255)
            error = "reference takes 0 to 255";
        else
            s.firstReference = n;
    } else if (key == "message") {
        in >> a >> b >> c;
        std::string pdu;
        in >> pdu;
        MessageStore *m = s.storage(a);
        int index = 0, stat = 0;
        if (!m)
            error = "unknown storage " + a;
        else if (!toInt(b, index) || !m->validIndex(index))
            error = "index out of the storage's range (set its capacity first)";
        else if (!toInt(c, stat) || stat < 0 || stat > 3)
            error = "status takes 0 to 3";
        else if (pdu.empty() || !hex::decode(pdu))
            error = "the PDU must be hex text with an even number of digits";
        else
            m->put(index, {stat, hex::upper(pdu)});
    } else if (key == "contact" || key == "contact-raw") {
        in >> a >> b;
        std::string rest;
        std::getline(in, rest);
        rest = std::string(strings::trimmed(rest));
        int index = 0;
        if (!toInt(a, index) || index < 1 || index > s.phoneBookCapacity)
            error = "index out of the phone book's range (set its capacity first)";
        else if (b.empty() || !validNumber(b))
            error = "bad number " + b;
        else if (key == "contact-raw" && rest.find('"') != std::string::npos)
            error = "a raw name cannot hold a double quote";
        else
            s.phoneBook[index] = {b, b[0] == '+' ? 145 : 129, key == "contact" ? hex::ucs2FromUtf8(rest) : rest};
    } else {
        error = "unknown keyword " + key;
    }
}

} // namespace

bool loadScenario(const std::string &path, Scenario &scenario, std::string &error)
{
    std::ifstream in(path);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = std::string(strings::trimmed(line));
        if (line.empty() || line[0] == '#')
            continue;
        applyLine(line, scenario, error);
        if (!error.empty()) {
            error = path + ":" + std::to_string(number) + ": " + error;
            return false;
        }
    }
    return true;
}
