// The small controllers: new-message notice, call query, dial, delete and
// the SIM phone-book read.

#include "gateway/Controllers.h"

#include "data/DM1.h"
#include "gateway/Channel.h"
#include "gateway/EngineGlobals.h"
#include "gateway/EngineReports.h"

#include <QString>
#include <cctype>
#include <optional>
#include <stdexcept>

namespace {

// The index of a notice: the one or two characters after the first comma,
// leading blanks skipped, read up to the first non-digit.
std::optional<int> noticeIndex(const std::string &line)
{
    const std::size_t comma = line.find(',');
    if (comma == std::string::npos)
        return std::nullopt;
    std::string two = line.substr(comma + 1, 2);
    two.erase(0, two.find_first_not_of(' '));
    int value = 0;
    std::size_t digits = 0;
    while (digits < two.size() && std::isdigit(static_cast<unsigned char>(two[digits])))
        value = value * 10 + (two[digits++] - '0');
    if (digits == 0)
        return std::nullopt;
    return value;
}

bool allHex(const std::string &s)
{
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

} // namespace

void TSMSCmtictr::ProcessLine(const std::string &line)
{
    if (IsOK(line)) {
        Owner->Current = nullptr;
        return;
    }
    if (line.find("+CMTI:") == std::string::npos)
        return;
    const bool sm = line.find("\"SM\"") != std::string::npos;
    const bool me = line.find("\"ME\"") != std::string::npos;
    if (sm)
        Cmd = "AT+CPMS=\"SM\"\r";
    if (me)
        Cmd = "AT+CPMS=\"ME\"\r";
    if (sm || me) {
        SendCmd();
        Wait(300);
    }
    if (std::optional<int> index = noticeIndex(line))
        Owner->AddReadIndex(*index);
    // Without a storage command no "OK" is coming to end the exchange.
    if (!sm && !me)
        Owner->Current = nullptr;
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

void TDialCtr::ProcessLine(const std::string &) { Owner->Current = nullptr; }

std::string TSMSDelCtr::GetCmd()
{
    Cmd = "AT+CMGD=" + std::to_string(Index) + "\r";
    return Cmd;
}

void TSMSDelCtr::ProcessLine(const std::string &line)
{
    if (!IsOK(line))
        return;
    State = 0;
    Owner->Current = nullptr;
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
        Owner->Current = nullptr;
        return;
    }
    if (IsError(line)) {
        PhoneBookIndex.set(-1);
        Owner->Current = nullptr;
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
    try {
        if (!DataModule1)
            throw std::runtime_error("数据库未打开");
        TAdoQuery &q = DataModule1->Query1;
        q.Close();
        q.SetSQL("select * from client where clientid=" + QuotedStr(key));
        q.Open();
        if (!q.IsEmpty()) {
            q.Edit();
            q.FieldByName("CONTACT")->SetAsString(number);
            q.Post();
        } else {
            q.Append();
            q.FieldByName("CLIENTID")->SetAsString(key);
            q.FieldByName("CONTACT")->SetAsString(number);
            q.Post();
            q.Close();
            q.SetSQL("select * from client_cgroup");
            q.Open();
            q.Append();
            q.FieldByName("CLIENTID")->SetAsString(key);
            q.FieldByName("GROUPNAME")->SetAsString("手机电话本");
            q.Post();
        }
        q.Close();
    } catch (const std::exception &e) {
        if (DataModule1)
            DataModule1->Query1.Close();
        engine::logLine("电话本记录存入数据库失败:" + key + " " + e.what());
    }
}
