#include "Modem.h"

#include "AtText.h"
#include "Hex.h"
#include "Log.h"

#include <cctype>

namespace {

using namespace at::chars;

// Longest command line taken; modules have a buffer of about this size
// and answer ERROR to anything longer.
constexpr size_t kMaxLine = 560;

char upperChar(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

// Position of the "AT" prefix (either case); what stands before it is line noise.
size_t prefixAt(const std::string &line)
{
    for (size_t i = 0; i + 1 < line.size(); ++i)
        if (upperChar(line[i]) == 'A' && upperChar(line[i + 1]) == 'T')
            return i;
    return std::string::npos;
}

// Upper case and without blanks, except inside double quotes.
std::string normalise(const std::string &body)
{
    std::string out;
    bool quoted = false;
    for (char c : body) {
        if (c == '"')
            quoted = !quoted;
        if (quoted || c == '"')
            out += c;
        else if (c != ' ')
            out += upperChar(c);
    }
    return out;
}

std::vector<std::string> splitArgs(const std::string &text)
{
    std::vector<std::string> args(1);
    bool quoted = false;
    for (char c : text) {
        if (c == '"')
            quoted = !quoted;
        if (c == ',' && !quoted)
            args.emplace_back();
        else
            args.back() += c;
    }
    return args;
}

} // namespace

Modem::Modem(Scenario &scenario, Log &log, Output output)
    : scenario_(scenario), log_(log), output_(std::move(output)), nextReference_(scenario.firstReference)
{
    powerOn();
}

void Modem::powerOn()
{
    mode_ = Mode::Command;
    echo_ = true;
    line_.clear();
    lineOverflow_ = false;
    cnmi_ = Cnmi{};
    for (auto &m : mem_)
        m = "SM";
    deferred_.clear();
    taBuffer_.clear();
    pduText_.clear();
    held_.clear();
    releaseAt_.reset();
    pending_.clear();
    call_.reset();
}

void Modem::receive(std::string_view bytes)
{
    for (char c : bytes) {
        if (dropNow_)
            break; // the device is gone: the rest never reaches it
        if (mode_ == Mode::Command)
            commandByte(c);
        else if (mode_ == Mode::Pdu)
            pduByte(c);
        // Mode::Held: the module is busy with the network; input is lost.
    }
    flushOutput();
}

void Modem::flushOutput()
{
    if (pending_.empty())
        return;
    std::string out;
    out.swap(pending_);
    output_(out);
}

void Modem::commandByte(char c)
{
    const bool muted = faults_.mutedCommands > 0;
    if (echo_ && !muted)
        emit(std::string(1, c));
    if (c == kCr) {
        std::string line;
        line.swap(line_);
        const bool overflow = lineOverflow_;
        lineOverflow_ = false;
        const bool command = prefixAt(line) != std::string::npos;
        if (muted) {
            if (command) {
                --faults_.mutedCommands;
                log_.line("EV", "muted " + escapeBytes(line));
            }
        } else if (overflow && command) {
            log_.line("EV", "command line too long");
            emit(at::error());
        } else {
            executeLine(line);
        }
    } else if (c == kBackspace) {
        if (!line_.empty())
            line_.pop_back();
    } else if (c != kLf) {
        if (line_.size() < kMaxLine)
            line_ += c;
        else
            lineOverflow_ = true;
    }
}

void Modem::executeLine(const std::string &raw)
{
    const size_t at = prefixAt(raw);
    if (at == std::string::npos) {
        if (!raw.empty())
            log_.line("EV", "no AT prefix, ignored " + escapeBytes(raw));
        return;
    }
    log_.line("CMD", escapeBytes(raw.substr(at)));
    emit(execute(normalise(raw.substr(at + 2))));
    if (mode_ == Mode::Command)
        flushDeferred();
}

std::string Modem::execute(const std::string &body)
{
    if (body.empty())
        return at::ok();
    if (body[0] == 'D')
        return dial(body.substr(1));
    if (body[0] != '+')
        return basic(body[0], body.substr(1));

    static const std::pair<const char *, Handler> table[] = {
        {"+CNMI", &Modem::cnmi}, {"+CMGF", &Modem::cmgf}, {"+CPMS", &Modem::cpms}, {"+CMGR", &Modem::cmgr},
        {"+CMGL", &Modem::cmgl}, {"+CMGD", &Modem::cmgd}, {"+CMGS", &Modem::cmgs}, {"+GSN", &Modem::gsn},
        {"+CPBR", &Modem::cpbr}, {"+CLCC", &Modem::clcc},
    };
    const auto command = parseExtended(body);
    if (!command)
        return at::error();
    for (const auto &[name, handler] : table)
        if (command->name == name)
            return (this->*handler)(*command);
    return at::error();
}

std::optional<Modem::Extended> Modem::parseExtended(const std::string &body)
{
    Extended c;
    size_t i = 1;
    while (i < body.size() && std::isalnum(static_cast<unsigned char>(body[i])))
        ++i;
    if (i == 1)
        return std::nullopt;
    c.name = body.substr(0, i);
    const std::string rest = body.substr(i);
    if (rest.empty())
        c.form = Form::Exec;
    else if (rest == "?")
        c.form = Form::Read;
    else if (rest == "=?")
        c.form = Form::Test;
    else if (rest[0] == '=')
        c.form = Form::Set, c.args = splitArgs(rest.substr(1));
    else
        return std::nullopt;
    return c;
}

std::string Modem::basic(char name, const std::string &rest)
{
    const bool zero = rest.empty() || rest == "0";
    switch (name) {
    case 'E':
        if (!zero && rest != "1")
            return at::error();
        echo_ = rest == "1";
        return at::ok();
    case 'Z':
        if (!zero)
            return at::error();
        powerOn();
        log_.line("EV", "reset");
        return at::ok();
    case 'H':
        if (!zero)
            return at::error();
        if (call_)
            log_.line("EV", "hang up " + call_->number);
        call_.reset();
        return at::ok();
    default: return at::error();
    }
}

void Modem::unsolicited(const std::string &text)
{
    if (mode_ == Mode::Command)
        emit(at::info(text));
    else
        deferred_.push_back(text);
}

void Modem::newMessageIndication(const std::string &text)
{
    if (cnmi_.mode == 0) {
        // Kept in the module until AT+CNMI asks for them; a real buffer is small.
        if (taBuffer_.size() < 16)
            taBuffer_.push_back(text);
        return;
    }
    unsolicited(text);
}

void Modem::flushDeferred()
{
    std::vector<std::string> lines;
    lines.swap(deferred_);
    for (const auto &text : lines)
        emit(at::info(text));
}

MessageStore *Modem::storage(int which) { return scenario_.storage(mem_[which]); }

int Modem::deliver(std::string &name, const std::string &pduHex, std::string &error, int at)
{
    MessageStore *store = name.empty() ? storage(2) : scenario_.storage(name);
    if (!store) {
        error = "unknown storage " + name;
        return 0;
    }
    const auto octets = hex::decode(pduHex);
    if (pduHex.empty() || !octets) {
        error = "the PDU must be hex text with an even number of digits";
        return 0;
    }
    if (at != 0 && (!store->validIndex(at) || store->at(at))) {
        error = "index " + std::to_string(at) + " of " + store->name() + " is " +
                (store->at(at) ? "taken" : "out of range");
        return 0;
    }
    const int index = at != 0 ? at : store->firstFree();
    if (index == 0) {
        error = "storage " + store->name() + " is full";
        return 0;
    }
    store->put(index, {0, hex::upper(pduHex)});
    name = store->name();
    log_.line("EV", "message stored in " + store->name() + " at " + std::to_string(index));
    if (cnmi_.mt == 1)
        newMessageIndication("+CMTI: \"" + store->name() + "\"," + std::to_string(index));
    flushOutput();
    return index;
}

bool Modem::releaseHeld()
{
    if (mode_ != Mode::Held)
        return false;
    mode_ = Mode::Command;
    emit(held_);
    held_.clear();
    releaseAt_.reset();
    flushDeferred();
    flushOutput();
    return true;
}

bool Modem::farEndHangUp()
{
    if (!call_)
        return false;
    log_.line("EV", "far end hung up " + call_->number);
    call_.reset();
    unsolicited("NO CARRIER");
    flushOutput();
    return true;
}
