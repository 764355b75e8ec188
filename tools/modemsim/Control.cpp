// The control commands a test or an operator sends through the control
// socket. Each returns one line: "OK" with any result, or "ERR" and why.
#include "Hex.h"
#include "Sim.h"

#include <charconv>
#include <sstream>

namespace {

constexpr int kMaxBytes = 65536;

bool toInt(const std::string &text, int &value)
{
    const char *end = text.data() + text.size();
    auto [p, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && p == end;
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
    std::istringstream in(line);
    std::string word, a;
    in >> word;
    std::string reply;
    if (word == "sms") {
        std::string storage, pdu;
        in >> a >> pdu;
        if (pdu.empty())
            pdu = a; // no storage named: the modem's receive storage
        else
            storage = a;
        std::string error;
        const int index = modem_.deliver(storage, pdu, error);
        reply = index ? "OK " + storage + " " + std::to_string(index) : "ERR " + error;
    } else if (word == "fail") {
        in >> a;
        reply = faultCommand(a, restOf(in));
    } else if (word == "hold") {
        modem_.faults().holdNextResult = true;
        reply = "OK";
    } else if (word == "release") {
        reply = modem_.releaseHeld() ? "OK" : "ERR nothing held";
    } else if (word == "mute") {
        int n = 0;
        in >> a;
        reply = toInt(a, n) && n >= 0 ? (modem_.faults().mutedCommands = n, "OK") : "ERR mute takes a count";
    } else if (word == "garbage") {
        int n = 0;
        in >> a;
        if (!toInt(a, n) || n < 1 || n > kMaxBytes) {
            reply = "ERR garbage takes a count from 1 to 65536";
        } else {
            std::string bytes;
            for (int i = 0; i < n; ++i) {
                garbageSeed_ = garbageSeed_ * 1103515245u + 12345u; // fixed sequence, repeatable runs
                bytes += static_cast<char>((garbageSeed_ >> 16) & 0xFF);
            }
            toTerminal(bytes);
            reply = "OK";
        }
    } else if (word == "raw") {
        in >> a;
        const auto bytes = hex::decode(a);
        if (a.empty() || !bytes) {
            reply = "ERR raw takes hex text";
        } else {
            toTerminal(std::string(bytes->begin(), bytes->end()));
            reply = "OK";
        }
    } else if (word == "longline") {
        int n = 339;
        in >> a;
        if (!a.empty() && (!toInt(a, n) || n < 1 || n > kMaxBytes)) {
            reply = "ERR longline takes a length from 1 to 65536";
        } else {
            std::string text;
            for (int i = 0; i < n; ++i)
                text += "0123456789ABCDEF"[i % 16]; // looks like a PDU line
            toTerminal("\r\n" + text + "\r\n");
            reply = "OK";
        }
    } else if (word == "drop") {
        int ms = 0;
        in >> a;
        if (!a.empty() && (!toInt(a, ms) || ms < 0)) {
            reply = "ERR drop takes milliseconds";
        } else {
            dropDevice();
            if (!a.empty())
                backAt_ = Clock::now() + std::chrono::milliseconds(ms);
            reply = "OK";
        }
    } else if (word == "back") {
        std::string error;
        reply = bringBack(error) ? "OK" : "ERR " + error;
    } else if (word == "hangup") {
        reply = modem_.farEndHangUp() ? "OK" : "ERR no call";
    } else if (word == "show") {
        in >> a;
        reply = showCommand(a);
    } else {
        reply = "ERR unknown command";
    }
    log_.line("CTL", escapeBytes(line) + " -> " + escapeBytes(reply));
    return reply;
}

std::string Sim::faultCommand(const std::string &which, const std::string &rest)
{
    std::istringstream in(rest);
    std::string first;
    in >> first;
    int count = 1;
    std::string text = rest;
    if (toInt(first, count))
        text = restOf(in);
    else
        count = 1;
    if (count < 0)
        return "ERR the count cannot be negative";
    if (text.empty())
        text = "ERROR";
    Faults &f = modem_.faults();
    if (which == "cmgs") {
        f.cmgsFailures = count;
        f.cmgsReply = text;
    } else if (which == "pdu") {
        f.pduFailures = count;
        f.pduReply = text;
    } else {
        return "ERR fail takes cmgs or pdu";
    }
    return "OK";
}

std::string Sim::showCommand(const std::string &which)
{
    if (hex::upper(which) == "PB") {
        std::string out = "OK " + std::to_string(scenario_.phoneBook.size()) + " " +
                          std::to_string(scenario_.phoneBookCapacity);
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
