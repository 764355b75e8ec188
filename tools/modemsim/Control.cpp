// The control commands a test or an operator sends through the control
// socket. Each returns one line: "OK" with any result, or "ERR" and why.
#include "Deliver.h"
#include "Hex.h"
#include "Sim.h"

#include <charconv>
#include <optional>

namespace {

constexpr int kMaxBytes = 65536;

bool toInt(const std::string &text, int &value)
{
    const char *end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && p == end;
}

// The milliseconds a command may end with (a, as read), at least least: none
// when none is given; false when what is given is no such count.
bool optionalMs(const std::string &a, int least, std::optional<int> &ms)
{
    int value = 0;
    if (a.empty())
        return true;
    if (!toInt(a, value) || value < least)
        return false;
    ms = value;
    return true;
}

std::string restOf(std::istringstream &in)
{
    std::string rest;
    std::getline(in, rest);
    const auto b = rest.find_first_not_of(' ');
    return b == std::string::npos ? std::string() : rest.substr(b);
}

} // namespace

std::string Sim::control(const std::string &line)
{
    using Command = std::string (Sim::*)(std::istringstream &);
    static const std::pair<const char *, Command> table[] = {
        {"sms", &Sim::smsCommand},         {"fail", &Sim::failCommand},         {"hold", &Sim::holdCommand},
        {"release", &Sim::releaseCommand}, {"mute", &Sim::muteCommand},         {"garbage", &Sim::garbageCommand},
        {"raw", &Sim::rawCommand},         {"longline", &Sim::longLineCommand}, {"drop", &Sim::dropCommand},
        {"back", &Sim::backCommand},       {"hangup", &Sim::hangUpCommand},     {"show", &Sim::showCommand},
        {"text", &Sim::textCommand},       {"junk", &Sim::junkCommand},
    };
    std::istringstream in(line);
    std::string word;
    in >> word;
    std::string reply = "ERR unknown command";
    for (const auto &[name, command] : table)
        if (word == name)
            reply = (this->*command)(in);
    log_.line("CTL", escapeBytes(line) + " -> " + escapeBytes(reply));
    return reply;
}

std::string Sim::smsCommand(std::istringstream &in)
{
    std::string storage, pdu;
    in >> storage >> pdu;
    if (pdu.empty())
        pdu.swap(storage); // no storage named: the modem's receive storage
    // "<storage>:<index>" names the index too.
    int at = 0;
    if (const auto colon = storage.find(':'); colon != std::string::npos) {
        if (!toInt(storage.substr(colon + 1), at) || at < 1)
            return "ERR the index must be a number from 1";
        storage.erase(colon);
    }
    std::string error;
    const int index = modem_.deliver(storage, pdu, error, at);
    return index ? "OK " + storage + " " + std::to_string(index) : "ERR " + error;
}

std::string Sim::textCommand(std::istringstream &in)
{
    std::string number;
    in >> number;
    const std::string text = restOf(in);
    if (text.empty())
        return "ERR text takes a number and a text";
    std::string error;
    const auto pdu = deliverPdu(number, text, std::time(nullptr), error);
    if (!pdu)
        return "ERR " + error;
    std::string storage; // the modem's receive storage
    const int index = modem_.deliver(storage, *pdu, error);
    return index ? "OK " + storage + " " + std::to_string(index) : "ERR " + error;
}

std::string Sim::failCommand(std::istringstream &in)
{
    std::string which, first;
    in >> which;
    const std::string rest = restOf(in);
    std::istringstream restIn(rest);
    restIn >> first;
    int count = 1;
    std::string text = rest;
    if (toInt(first, count))
        text = restOf(restIn);
    else
        count = 1;
    if (count < 0)
        return "ERR the count cannot be negative";
    Faults &f = modem_.faults();
    if (which == "prompt" || which == "taken") {
        std::optional<int> ms;
        if (!optionalMs(text, 0, ms))
            return "ERR fail " + which + " takes a count and milliseconds";
        (which == "prompt" ? f.promptResets : f.takenDrops) = count;
        backAfterDrop_ = std::chrono::milliseconds(ms.value_or(1000));
        return "OK";
    }
    if (text.empty())
        text = "ERROR";
    if (which == "cmgs") {
        f.cmgsFailures = count;
        f.cmgsReply = text;
    } else if (which == "pdu") {
        f.pduFailures = count;
        f.pduReply = text;
    } else {
        return "ERR fail takes cmgs, prompt, taken or pdu";
    }
    return "OK";
}

std::string Sim::holdCommand(std::istringstream &in)
{
    std::string a;
    in >> a;
    std::optional<int> ms;
    if (!optionalMs(a, 1, ms))
        return "ERR hold takes milliseconds";
    modem_.faults().holdNextResult = true;
    modem_.faults().holdMs = ms.value_or(0);
    return "OK";
}

std::string Sim::releaseCommand(std::istringstream &) { return modem_.releaseHeld() ? "OK" : "ERR nothing held"; }

std::string Sim::muteCommand(std::istringstream &in)
{
    std::string a;
    int n = 0;
    in >> a;
    if (!toInt(a, n) || n < 0)
        return "ERR mute takes a count";
    modem_.faults().mutedCommands = n;
    return "OK";
}

std::string Sim::garbageCommand(std::istringstream &in)
{
    std::string a;
    int n = 0;
    in >> a;
    if (!toInt(a, n) || n < 1 || n > kMaxBytes)
        return "ERR garbage takes a count from 1 to 65536";
    std::string bytes;
    for (int i = 0; i < n; ++i) {
        garbageSeed_ = garbageSeed_ * 1103515245u + 12345u; // a fixed sequence: runs repeat
        bytes += static_cast<char>((garbageSeed_ >> 16) & 0xFF);
    }
    toTerminal(bytes);
    return "OK";
}

std::string Sim::rawCommand(std::istringstream &in)
{
    std::string a;
    in >> a;
    const auto bytes = hex::decode(a);
    if (a.empty() || !bytes)
        return "ERR raw takes hex text";
    toTerminal(std::string(bytes->begin(), bytes->end()));
    return "OK";
}

std::string Sim::longLineCommand(std::istringstream &in)
{
    std::string a;
    int n = 339; // one more than a reply line may have
    in >> a;
    if (!a.empty() && (!toInt(a, n) || n < 1 || n > kMaxBytes))
        return "ERR longline takes a length from 1 to 65536";
    std::string text;
    for (int i = 0; i < n; ++i)
        text += "0123456789ABCDEF"[i % 16]; // looks like a PDU line
    toTerminal("\r\n" + text + "\r\n");
    return "OK";
}

std::string Sim::junkCommand(std::istringstream &in)
{
    const std::string line = restOf(in);
    if (line.empty())
        return "ERR junk takes a line";
    modem_.faults().cmgrJunk.push_back(line);
    return "OK";
}

std::string Sim::dropCommand(std::istringstream &in)
{
    std::string a;
    in >> a;
    const bool atCmgd = a == "cmgd";
    if (atCmgd) {
        a.clear();
        in >> a;
    }
    std::optional<int> ms;
    if (!optionalMs(a, 0, ms))
        return "ERR drop takes milliseconds";
    std::optional<std::chrono::milliseconds> back;
    if (ms)
        back = std::chrono::milliseconds(*ms);
    if (atCmgd) {
        modem_.faults().dropAtCmgd = true;
        backAfterDrop_ = back;
        return "OK";
    }
    dropDevice();
    if (back)
        backAt_ = Clock::now() + *back;
    return "OK";
}

std::string Sim::backCommand(std::istringstream &)
{
    std::string error;
    return bringBack(error) ? "OK" : "ERR " + error;
}

std::string Sim::hangUpCommand(std::istringstream &) { return modem_.farEndHangUp() ? "OK" : "ERR no call"; }

std::string Sim::showCommand(std::istringstream &in)
{
    std::string which;
    in >> which;
    if (hex::upper(which) == "PB") {
        std::string out =
            "OK " + std::to_string(scenario_.phoneBook.size()) + " " + std::to_string(scenario_.phoneBookCapacity);
        for (const auto &[index, entry] : scenario_.phoneBook)
            out += " " + std::to_string(index);
        return out;
    }
    const MessageStore *m = scenario_.storage(which);
    if (!m)
        return "ERR show takes SM, ME or PB";
    std::string out = "OK " + std::to_string(m->used()) + " " + std::to_string(m->capacity());
    for (const auto &[index, sms] : m->slots())
        out += " " + std::to_string(index) + ":" + std::to_string(sms.stat);
    return out;
}
