// The short-message commands of the modem (GSM 07.05, PDU mode).
#include "AtText.h"
#include "Hex.h"
#include "Log.h"
#include "Modem.h"
#include "Pdu.h"

namespace {

// Error numbers of GSM 07.05 that the module gives.
constexpr int kNotAllowed = 302;
constexpr int kNotSupported = 303;
constexpr int kInvalidPduParameter = 304;
constexpr int kInvalidIndex = 321;

// A TPDU of an SMS-SUBMIT is at most 164 octets long.
constexpr int kMaxTpdu = 164;
// Bounds the memory a runaway PDU can take; the longest valid one has 352 digits.
constexpr size_t kMaxPduText = 1024;

using namespace at::chars;

int storedLength(const StoredSms &sms)
{
    const auto octets = hex::decode(sms.pdu);
    const int n = octets ? tpduLength(*octets) : -1;
    return n < 0 ? 0 : n;
}

} // namespace

std::string Modem::cnmi(const Extended &c)
{
    if (c.form == Form::Read)
        return at::info("+CNMI: " + std::to_string(cnmi_.mode) + "," + std::to_string(cnmi_.mt) + "," +
                        std::to_string(cnmi_.bm) + "," + std::to_string(cnmi_.ds) + "," + std::to_string(cnmi_.bfr)) +
               at::ok();
    if (c.form == Form::Test)
        return at::info("+CNMI: (0-2),(0,1),(0),(0),(0,1)") + at::ok();
    if (c.form != Form::Set || c.args.size() > 5)
        return at::error();

    Cnmi next = cnmi_;
    int *fields[] = {&next.mode, &next.mt, &next.bm, &next.ds, &next.bfr};
    static const int maxima[] = {2, 1, 0, 0, 1};
    for (size_t i = 0; i < c.args.size(); ++i) {
        if (c.args[i].empty())
            continue;
        if (!at::toInt(c.args[i], *fields[i]))
            return at::error();
        if (*fields[i] < 0 || *fields[i] > maxima[i])
            return at::cms(kNotSupported);
    }
    cnmi_ = next;
    if (cnmi_.mode > 0) {
        // Indications kept while mode was 0 follow the OK, or are dropped.
        if (cnmi_.bfr == 0)
            deferred_.insert(deferred_.end(), taBuffer_.begin(), taBuffer_.end());
        taBuffer_.clear();
    }
    return at::ok();
}

std::string Modem::cmgf(const Extended &c)
{
    if (c.form == Form::Read)
        return at::info("+CMGF: 0") + at::ok();
    if (c.form == Form::Test)
        return at::info("+CMGF: (0)") + at::ok();
    int mode = 0;
    if (c.form != Form::Set || c.args.size() != 1 || !at::toInt(c.args[0], mode))
        return at::error();
    // A PDU-only module: text mode is not offered.
    return mode == 0 ? at::ok() : at::cms(kNotSupported);
}

std::string Modem::storageCounts() const
{
    std::string text;
    for (const auto &name : mem_) {
        const MessageStore *m = scenario_.storage(name);
        if (!text.empty())
            text += ",";
        text += std::to_string(m->used()) + "," + std::to_string(m->capacity());
    }
    return text;
}

std::string Modem::cpms(const Extended &c)
{
    if (c.form == Form::Read) {
        std::string text;
        for (const auto &name : mem_) {
            const MessageStore *m = scenario_.storage(name);
            text += std::string(text.empty() ? "" : ",") + "\"" + name + "\"," + std::to_string(m->used()) + "," +
                    std::to_string(m->capacity());
        }
        return at::info("+CPMS: " + text) + at::ok();
    }
    if (c.form == Form::Test)
        return at::info("+CPMS: (\"SM\",\"ME\"),(\"SM\",\"ME\"),(\"SM\",\"ME\")") + at::ok();
    if (c.form != Form::Set || c.args.size() > 3)
        return at::error();

    std::string names[3] = {mem_[0], mem_[1], mem_[2]};
    for (size_t i = 0; i < c.args.size(); ++i) {
        if (!at::toString(c.args[i], names[i]))
            return at::error();
        if (!scenario_.storage(names[i]))
            return at::cms(kNotSupported);
        names[i] = hex::upper(names[i]);
    }
    for (int i = 0; i < 3; ++i)
        mem_[i] = names[i];
    return at::info("+CPMS: " + storageCounts()) + at::ok();
}

std::string Modem::cmgr(const Extended &c)
{
    if (c.form == Form::Test)
        return at::ok();
    int index = 0;
    if (c.form != Form::Set || c.args.size() != 1 || !at::toInt(c.args[0], index))
        return at::error();
    MessageStore *store = storage(0);
    if (!store->validIndex(index))
        return at::cms(kInvalidIndex);
    StoredSms *sms = store->at(index);
    if (!sms)
        return at::ok();
    std::string junk;
    for (const std::string &line : faults_.cmgrJunk)
        junk += line + "\r\n";
    if (!faults_.cmgrJunk.empty())
        log_.line("EV", "fault: junk in the AT+CMGR answer " + escapeBytes(junk));
    faults_.cmgrJunk.clear();
    const std::string reply = "\r\n+CMGR: " + std::to_string(sms->stat) + ",," + std::to_string(storedLength(*sms)) +
                              "\r\n" + junk + sms->pdu + "\r\n" + at::ok();
    if (sms->stat == 0)
        sms->stat = 1; // reading marks it read
    return reply;
}

std::string Modem::cmgl(const Extended &c)
{
    if (c.form == Form::Test)
        return at::info("+CMGL: (0-4)") + at::ok();
    int stat = 0; // PDU mode's default: received unread
    if (c.form == Form::Read || (c.form == Form::Set && (c.args.size() != 1 || !at::toInt(c.args[0], stat))))
        return at::error();
    if (stat < 0 || stat > 4)
        return at::cms(kNotSupported);
    std::string lines;
    for (auto &[index, sms] : storage(0)->slots()) {
        if (stat != 4 && sms.stat != stat)
            continue;
        lines += "+CMGL: " + std::to_string(index) + "," + std::to_string(sms.stat) + ",," +
                 std::to_string(storedLength(sms)) + "\r\n" + sms.pdu + "\r\n";
        if (sms.stat == 0)
            sms.stat = 1; // listing marks it read, as reading does
    }
    return lines.empty() ? at::ok() : "\r\n" + lines + at::ok();
}

std::string Modem::cmgd(const Extended &c)
{
    if (c.form == Form::Test)
        return at::ok();
    int index = 0, flag = 0;
    if (c.form != Form::Set || c.args.empty() || c.args.size() > 2 || !at::toInt(c.args[0], index) ||
        (c.args.size() == 2 && !at::toInt(c.args[1], flag)))
        return at::error();
    if (flag < 0 || flag > 4)
        return at::cms(kNotSupported);
    if (faults_.dropAtCmgd) {
        // Gone before the module carried it out: nothing is deleted.
        faults_.dropAtCmgd = false;
        dropNow_ = true;
        log_.line("EV", "fault: the device goes at AT+CMGD");
        return {};
    }
    MessageStore *store = storage(0);
    if (flag == 0) {
        if (!store->validIndex(index))
            return at::cms(kInvalidIndex);
        store->erase(index);
        return at::ok();
    }
    // 1: all read; 2: and sent; 3: and unsent; 4: everything.
    for (auto it = store->slots().begin(); it != store->slots().end();) {
        const int stat = it->second.stat;
        const bool gone = flag == 4 || stat == 1 || (flag >= 2 && stat == 3) || (flag == 3 && stat == 2);
        it = gone ? store->slots().erase(it) : std::next(it);
    }
    return at::ok();
}

std::string Modem::cmgs(const Extended &c)
{
    if (c.form == Form::Test)
        return at::ok();
    int length = 0;
    if (c.form != Form::Set || c.args.size() != 1 || !at::toInt(c.args[0], length))
        return at::error();
    if (faults_.cmgsFailures > 0) {
        --faults_.cmgsFailures;
        log_.line("EV", "fault: AT+CMGS answered " + escapeBytes(faults_.cmgsReply));
        return at::info(faults_.cmgsReply);
    }
    if (length < 1 || length > kMaxTpdu)
        return at::cms(kInvalidPduParameter);
    if (faults_.promptResets > 0) {
        // Gone as it prompts: the prompt is lost with the device.
        --faults_.promptResets;
        log_.line("EV", "fault: reset at the prompt");
        dropNow_ = true;
    }
    mode_ = Mode::Pdu;
    pduLength_ = length;
    pduText_.clear();
    return "\r\n> ";
}

void Modem::pduByte(char c)
{
    if (c == kCtrlZ) {
        submitPdu();
        return;
    }
    if (c == kEscape) {
        log_.line("PDU", "cancelled " + std::to_string(pduLength_) + " " + escapeBytes(pduText_));
        pduText_.clear();
        mode_ = Mode::Command;
        emit(at::ok());
        flushDeferred();
        return;
    }
    if (echo_)
        emit(std::string(1, c));
    if (c == kBackspace) {
        if (!pduText_.empty())
            pduText_.pop_back();
    } else if (c != kCr && c != kLf && pduText_.size() < kMaxPduText) {
        pduText_ += c;
    }
}

void Modem::submitPdu()
{
    const std::string text = pduText_;
    pduText_.clear();
    const auto octets = hex::decode(text);
    // The length must be that of the TPDU, and the TPDU one whole SMS-SUBMIT:
    // a module checks both before it gives the message to the network.
    const bool valid = octets && tpduLength(*octets) == pduLength_ && isWholeSubmit(*octets);
    std::string outcome, reply;
    if (!valid) {
        outcome = "rejected";
        reply = at::cms(kInvalidPduParameter);
    } else if (faults_.pduFailures > 0) {
        --faults_.pduFailures;
        outcome = "failed";
        reply = at::info(faults_.pduReply);
    } else {
        outcome = "sent";
        reply = at::info("+CMGS: " + std::to_string(nextReference_)) + at::ok();
        nextReference_ = (nextReference_ + 1) % 256;
    }
    log_.line("PDU", outcome + " " + std::to_string(pduLength_) + " " + escapeBytes(text));
    if (outcome == "sent" && faults_.takenDrops > 0) {
        // The network has the message; its result is lost with the device.
        --faults_.takenDrops;
        log_.line("EV", "fault: the device goes after taking the PDU");
        mode_ = Mode::Command;
        dropNow_ = true;
        return;
    }
    if (faults_.holdNextResult) {
        faults_.holdNextResult = false;
        held_ = reply;
        mode_ = Mode::Held;
        if (faults_.holdMs > 0)
            releaseAt_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(faults_.holdMs);
        log_.line("EV", "result held");
        return;
    }
    mode_ = Mode::Command;
    emit(reply);
    flushDeferred();
}
