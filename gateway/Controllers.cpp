// The small controllers: new-message notice, call query, dial, delete and
// the SIM phone-book read.

#include "gateway/Controllers.h"

#include "gateway/Channel.h"
#include "gateway/EngineGlobals.h"
#include "gateway/EngineReports.h"
#include "gateway/EngineStore.h"
#include "platform/ado/AdoConnection.h"

#include <QString>
#include <cctype>
#include <optional>

namespace {

bool allHex(const std::string &s)
{
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// The digits at the start of text after leading blanks, at most five; none
// without a digit.
std::optional<int> leadingNumber(const std::string &text)
{
    std::size_t i = text.find_first_not_of(' ');
    int value = 0;
    std::size_t digits = 0;
    for (; i < text.size() && digits < 5 && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits)
        value = value * 10 + (text[i] - '0');
    if (digits == 0)
        return std::nullopt;
    return value;
}

std::string selectCommand(const std::string &storage) { return "AT+CPMS=\"" + storage + "\"\r"; }

} // namespace

std::string TSMSCmtictr::StorageOf(const std::string &notice)
{
    if (notice.find("\"ME\"") != std::string::npos)
        return "ME";
    if (notice.find("\"SM\"") != std::string::npos)
        return "SM";
    return {};
}

std::optional<int> TSMSCmtictr::IndexOf(const std::string &notice)
{
    const std::size_t comma = notice.find(',');
    if (comma == std::string::npos)
        return std::nullopt;
    return leadingNumber(notice.substr(comma + 1));
}

void TSMSCmtictr::Serve()
{
    auto &notices = Owner->Notices;
    storage_ = StorageOf(notices.front());
    indices_.clear();
    for (auto it = notices.begin(); it != notices.end();) {
        if (StorageOf(*it) != storage_) {
            ++it;
            continue;
        }
        if (const std::optional<int> index = IndexOf(*it))
            indices_.push_back(*index);
        it = notices.erase(it);
    }
    if (storage_.empty()) {
        // No storage command, so no "OK" will come to end the exchange.
        QueueIndices();
        Owner->EndExchange();
        return;
    }
    State = csIdle;
    Cmd = selectCommand(storage_);
    State = csWriting;
    SendCmd();
    State = csAwaiting;
}

void TSMSCmtictr::ProcessLine(const std::string &line)
{
    if (IsOK(line)) {
        Owner->SelectedStorage = storage_;
        Owner->After(kStorageWaitMs, [this] {
            QueueIndices();
            Owner->EndExchange();
        });
    } else if (IsError(line)) {
        engine::logLine("短信存储器" + storage_ + "无法选择，新消息留在短信模块中");
        Owner->EndExchange();
    }
}

void TSMSCmtictr::QueueIndices()
{
    for (int index : indices_)
        Owner->AddReadIndex(storage_, index);
    indices_.clear();
}

std::string TSMSListCtr::GetCmd()
{
    Cmd = listing_ ? "AT+CMGL=4\r" : selectCommand(Storage);
    return Cmd;
}

void TSMSListCtr::Start()
{
    listing_ = false;
    used_ = -1;
    indices_.clear();
    TSMSCtr::Start();
}

void TSMSListCtr::ProcessLine(const std::string &line)
{
    if (IsError(line)) {
        Owner->EndExchange();
        return;
    }
    if (!listing_) {
        if (line.rfind("+CPMS:", 0) == 0) {
            used_ = leadingNumber(line.substr(6)).value_or(-1);
        } else if (IsOK(line)) {
            Owner->SelectedStorage = Storage;
            if (used_ == 0) {
                Owner->EndExchange();
                return;
            }
            listing_ = true;
            TSMSCtr::Start();
        }
        return;
    }
    if (line.rfind("+CMGL:", 0) == 0) {
        if (const std::optional<int> index = leadingNumber(line.substr(6)))
            indices_.push_back(*index);
    } else if (IsOK(line)) {
        for (int index : indices_)
            Owner->AddReadIndex(Storage, index);
        Owner->EndExchange();
    }
}

std::string TClccCtr::GetCmd()
{
    Cmd = "AT+CLCC\r";
    return Cmd;
}

std::string TDialCtr::GetCmd()
{
    Cmd = "ATDT" + Number + ";\r";
    return Cmd;
}

void TDialCtr::ProcessLine(const std::string &line)
{
    static const char *const finals[] = {"NO CARRIER", "BUSY", "NO ANSWER", "NO DIALTONE"};
    bool final = IsOK(line) || IsError(line);
    for (const char *f : finals)
        final = final || line == f;
    if (final)
        Owner->EndExchange();
}

std::string TSMSDelCtr::GetCmd()
{
    Cmd = "AT+CMGD=" + std::to_string(Index) + "\r";
    return Cmd;
}

void TSMSDelCtr::ProcessLine(const std::string &line)
{
    if (!IsOK(line))
        return;
    State = csIdle;
    Owner->EndExchange();
}

std::string TCpbrCtr::GetCmd()
{
    Cmd = "AT+CPBR=" + std::to_string(Index) + "\r";
    return Cmd;
}

void TCpbrCtr::ProcessLine(const std::string &line)
{
    if (IsOK(line)) {
        if (Cmd.find("+CPBR:") != std::string::npos)
            StoreEntry();
        else
            PhoneBookIndex.set(-1); // an empty index ends the import
        Owner->EndExchange();
        return;
    }
    if (IsError(line)) {
        PhoneBookIndex.set(-1);
        Owner->EndExchange();
        return;
    }
    Cmd += line;
}

void TCpbrCtr::ParseEntry(const std::string &cmd, std::string &number, std::string &name)
{
    // At most 150 characters after the first double quote of text.
    auto afterQuote = [](const std::string &text) {
        const std::size_t q = text.find('"');
        return q == std::string::npos ? std::string() : text.substr(q + 1, 150);
    };
    const std::string fromNumber = afterQuote(cmd);
    const std::size_t numberEnd = fromNumber.find('"');
    number = fromNumber.substr(0, numberEnd);
    const std::string rest = numberEnd == std::string::npos ? std::string() : fromNumber.substr(numberEnd + 1, 150);
    const std::string fromName = afterQuote(rest);
    const std::size_t nameEnd = fromName.find('"');
    const std::string field = nameEnd == std::string::npos ? std::string() : fromName.substr(0, nameEnd);

    QString text;
    if (allHex(field)) {
        // The modem's names are hex UCS-2, high octet first; an odd last
        // octet is dropped.
        const std::size_t octets = field.size() / 2 > 160 ? 0 : field.size() / 2;
        for (std::size_t i = 0; i + 1 < octets; i += 2) {
            const char16_t unit =
                static_cast<char16_t>(HexToByte(field.substr(2 * i, 2)) << 8 | HexToByte(field.substr(2 * i + 2, 2)));
            text += QChar(unit);
        }
    } else {
        // A modem set to another character set gives the name as text.
        text = QString::fromUtf8(field.data(), static_cast<qsizetype>(field.size()));
    }
    name = text.left(7).toStdString();
}

void TCpbrCtr::StoreEntry()
{
    std::string number, name;
    ParseEntry(Cmd, number, name);
    const std::string key = "MB_" + name;
    auto write = [key, number] {
        const enginestore::TOutcome out = enginestore::storeContact(key, number);
        if (out.result != enginestore::TResult::Stored && out.result != enginestore::TResult::Busy)
            engine::logLine("电话本记录存入数据库失败:" + key + " " + out.reason);
        return out.result;
    };
    // Each entry under a key of its own: a later entry with the same name
    // still comes after it.
    if (write() == enginestore::TResult::Busy &&
        Owner->PendingWrites->Add("contact " + std::to_string(++entries_), write))
        engine::logLine(std::string(ado::LockedText) + "，电话本记录稍后再存:" + key);
}
