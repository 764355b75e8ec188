// Queue-file texts: whatever a file holds, its lines split without line
// ends; a line of "SendBuf.TXT" taken as a whole SMS-SUBMIT is sent again
// exactly as it stands (decoded and encoded, it is the same hex) and passes
// the modem's own length check; a line of either file that is taken is
// taken the same with blanks or TABs around it, and no line cut short of it
// is ever taken as a message (READ would serve a wrong sender and text).
#include "codec/PDUs.h"
#include "gateway/QueueFiles.h"
#include "tools/fuzz/FuzzCommon.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <optional>
#include <string>

namespace {

using Take = std::optional<std::string> (*)(std::string_view);

// hex, taken from line, must also be taken with blanks around it, and no
// shorter piece of it may be taken as a message.
void takenWhole(Take take, const std::string &hex, const std::string &line)
{
    if (take(" " + hex + "\t ") != hex)
        fuzzFail("blanks around a line change what is taken", line);
    for (std::size_t n = 1; n < hex.size(); ++n) {
        const std::optional<std::string> piece = take(hex.substr(0, n));
        if (piece && !piece->empty())
            fuzzFail("a line cut short is taken as a message", hex.substr(0, n));
    }
}

void checkSend(const std::string &line)
{
    const std::optional<std::string> hex = queuefiles::sendLine(line);
    if (!hex)
        return;
    if (!TPDUSend::IsWhole(*hex))
        fuzzFail("a line taken to send is no whole SMS-SUBMIT", line);
    takenWhole(queuefiles::sendLine, *hex, line);
    TPDUSend pdu;
    pdu.Decode(*hex);
    pdu.Encode();
    std::string upper = *hex;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    if (pdu.Text != upper)
        fuzzFail("a whole line is not sent as it stands", line);
    const int centre = 2 * (1 + std::stoi(hex->substr(0, 2), nullptr, 16));
    if (pdu.TPDULength() != static_cast<int>(hex->size() - centre) / 2 || pdu.TPDULength() < 1)
        fuzzFail("the length for AT+CMGS does not match the line", line);
}

void checkReceived(const std::string &line)
{
    const std::optional<std::string> hex = queuefiles::receivedLine(line);
    if (!hex || hex->empty())
        return;
    takenWhole(queuefiles::receivedLine, *hex, line);
    TPDUGet pdu;
    pdu.Decode(*hex);
    if (pdu.Text != *hex || !validUtf8(pdu.GetOA()) || !validUtf8(pdu.GetUD()))
        fuzzFail("a received line does not read back as it stands", line);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char *>(data), size);
    const std::vector<std::string> lines = queuefiles::splitLines(bytes);
    const std::size_t ends = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    if (lines.size() != ends + (bytes.empty() || bytes.back() == '\n' ? 0 : 1))
        fuzzFail("lines miscounted", bytes);
    for (const std::string &line : lines) {
        if (line.find('\n') != std::string::npos)
            fuzzFail("a line holds a line end", bytes);
        checkSend(line);
        checkReceived(line);
    }
    return 0;
}
